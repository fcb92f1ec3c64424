#include "sdk/nodes/StringNode.h"

#include "sdk/genapi/GenericException.h"

namespace sdk {

StringNode::StringNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfIString) {}

INode* StringNode::GetNode() const {
    return const_cast<StringNode*>(this);
}

gcstring StringNode::ToString(bool verify, bool ignoreCache) const {
    return GetValue(verify, ignoreCache);
}

void StringNode::FromString(const gcstring& text, bool verify) {
    SetValue(text, verify);
}

gcstring StringNode::GetValue(bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadRaw();
}

void StringNode::SetValue(const gcstring& value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    if (static_cast<int64_t>(value.size()) > mMaxLength) {
        throw OutOfRangeException("String of length " + std::to_string(value.size()) +
                                      " exceeds the maximum length " + std::to_string(mMaxLength) +
                                      " : Node = '" + GetName().str() + "'",
                                  __FILE__, __LINE__);
    }
    mValue.Set(GetSelectorKey(), value.str());
    NotifyWritten();
}

int64_t StringNode::GetMaxLength() const {
    Lock lock = LockMap();
    return mMaxLength;
}

StringNode& StringNode::SetMaxLength(int64_t length) {
    Lock lock = LockMap();
    mMaxLength = length;
    return *this;
}

StringNode& StringNode::SetValueProvider(std::function<std::string()> provider) {
    Lock lock = LockMap();
    mValueProvider = std::move(provider);
    return *this;
}

StringNode& StringNode::Initialize(const std::string& value) {
    Lock lock = LockMap();
    mValue.SetAll(value);
    return *this;
}

std::string StringNode::ReadRaw() const {
    Lock lock = LockMap();
    return mValueProvider ? mValueProvider() : mValue.Get(GetSelectorKey());
}

}  // namespace sdk
