#include "sdk/nodes/RegisterNode.h"

#include <algorithm>
#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/nodes/NodeText.h"

namespace sdk {

RegisterNode::RegisterNode(MemoryNodeMap& map, const gcstring& name, int64_t address,
                           int64_t length)
    : MemoryNode(map, name, intfIRegister),
      mAddress(address),
      mBytes(static_cast<size_t>(std::max<int64_t>(length, 0)), 0) {}

INode* RegisterNode::GetNode() const {
    return const_cast<RegisterNode*>(this);
}

gcstring RegisterNode::ToString(bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    return nodetext::FormatBytes(mBytes);
}

void RegisterNode::FromString(const gcstring& text, bool verify) {
    std::string t = nodetext::Trim(text.str());
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.substr(2);
    }
    if (t.size() % 2 != 0 || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw InvalidArgumentException(
            "Cannot convert '" + text.str() + "' to the bytes of node '" + GetName().str() + "'",
            __FILE__, __LINE__);
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < t.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(t.substr(i, 2), nullptr, 16)));
    }
    Set(bytes.data(), static_cast<int64_t>(bytes.size()), verify);
}

void RegisterNode::Get(uint8_t* buffer, int64_t length, bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    const size_t n = static_cast<size_t>(std::min<int64_t>(length, GetLength()));
    std::copy_n(mBytes.begin(), n, buffer);
}

void RegisterNode::Set(const uint8_t* buffer, int64_t length, bool) {
    Lock lock = LockMap();
    CheckWritable();
    if (length > GetLength()) {
        throw OutOfRangeException("Register '" + GetName().str() + "' holds " +
                                      std::to_string(GetLength()) + " bytes, not " +
                                      std::to_string(length),
                                  __FILE__, __LINE__);
    }
    std::copy_n(buffer, static_cast<size_t>(std::max<int64_t>(length, 0)), mBytes.begin());
    NotifyWritten();
}

RegisterNode& RegisterNode::Initialize(const std::vector<uint8_t>& bytes) {
    Lock lock = LockMap();
    std::fill(mBytes.begin(), mBytes.end(), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), mBytes.size()), mBytes.begin());
    return *this;
}

}  // namespace sdk
