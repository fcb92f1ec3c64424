#include "sdk/BooleanNode.h"

#include "sdk/NodeText.h"

namespace sdk {

BooleanNode::BooleanNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfIBoolean) {}

INode* BooleanNode::GetNode() const {
    return const_cast<BooleanNode*>(this);
}

gcstring BooleanNode::ToString(bool verify, bool ignoreCache) const {
    return GetValue(verify, ignoreCache) ? "1" : "0";
}

void BooleanNode::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseBoolean(text.str(), GetName().str()), verify);
}

bool BooleanNode::GetValue(bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadRaw();
}

void BooleanNode::SetValue(bool value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    if (mWriteHandler) {
        mWriteHandler(value);
    } else {
        Store(value);
    }
    NotifyWritten();
}

BooleanNode& BooleanNode::SetValueProvider(std::function<bool()> provider) {
    Lock lock = LockMap();
    mValueProvider = std::move(provider);
    return *this;
}

BooleanNode& BooleanNode::SetWriteHandler(std::function<void(bool)> handler) {
    Lock lock = LockMap();
    mWriteHandler = std::move(handler);
    return *this;
}

BooleanNode& BooleanNode::Initialize(bool value) {
    Lock lock = LockMap();
    mValue.SetAll(value);
    return *this;
}

bool BooleanNode::ReadRaw() const {
    Lock lock = LockMap();
    return mValueProvider ? mValueProvider() : mValue.Get(GetSelectorKey());
}

bool BooleanNode::StoredValue(const SelectorKey& key) const {
    Lock lock = LockMap();
    return mValue.Get(key);
}

void BooleanNode::Store(bool value) {
    Lock lock = LockMap();
    mValue.Set(GetSelectorKey(), value);
}

void BooleanNode::Store(const SelectorKey& key, bool value) {
    Lock lock = LockMap();
    mValue.Set(key, value);
}

}  // namespace sdk
