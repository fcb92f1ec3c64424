#include "sdk/nodes/MemoryNode.h"

#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/nodes/MemoryNodeMap.h"

namespace sdk {

MemoryNode::MemoryNode(MemoryNodeMap& map, const gcstring& name, EInterfaceType type)
    : mMap(map), mName(name), mType(type) {}

gcstring MemoryNode::GetName(bool fullQualified) const {
    return fullQualified ? gcstring("Std::") + mName : mName;
}

gcstring MemoryNode::GetDisplayName() const {
    Lock lock = LockMap();
    return mDisplayName.empty() ? mName : mDisplayName;
}

gcstring MemoryNode::GetDescription() const {
    Lock lock = LockMap();
    return mDescription;
}

gcstring MemoryNode::GetToolTip() const {
    return GetDescription();
}

INodeMap* MemoryNode::GetNodeMap() const {
    return &mMap;
}

EAccessMode MemoryNode::GetAccessMode() const {
    Lock lock = LockMap();
    return mAccessProvider ? mAccessProvider() : mAccessMode;
}

bool MemoryNode::IsSelector() const {
    Lock lock = LockMap();
    return !mSelected.empty();
}

void MemoryNode::GetSelectedFeatures(FeatureList_t& features) const {
    Lock lock = LockMap();
    features.clear();
    for (MemoryNode* node : mSelected) {
        features.push_back(dynamic_cast<IValue*>(node));
    }
}

void MemoryNode::GetSelectingFeatures(FeatureList_t& features) const {
    Lock lock = LockMap();
    features.clear();
    for (MemoryNode* node : mSelecting) {
        features.push_back(dynamic_cast<IValue*>(node));
    }
}

MemoryNode& MemoryNode::SetDisplayName(const gcstring& text) {
    Lock lock = LockMap();
    mDisplayName = text;
    return *this;
}

MemoryNode& MemoryNode::SetDescription(const gcstring& text) {
    Lock lock = LockMap();
    mDescription = text;
    return *this;
}

MemoryNode& MemoryNode::SetAccessMode(EAccessMode mode) {
    Lock lock = LockMap();
    mAccessMode = mode;
    mAccessProvider = nullptr;
    return *this;
}

MemoryNode& MemoryNode::SetAccessProvider(std::function<EAccessMode()> provider) {
    Lock lock = LockMap();
    mAccessProvider = std::move(provider);
    return *this;
}

MemoryNode& MemoryNode::AddSelectedFeature(MemoryNode& feature) {
    Lock lock = LockMap();
    mSelected.push_back(&feature);
    feature.mSelecting.push_back(this);
    return *this;
}

MemoryNode& MemoryNode::AddWriteListener(std::function<void()> listener) {
    Lock lock = LockMap();
    mWriteListeners.push_back(std::move(listener));
    return *this;
}

SelectorKey MemoryNode::GetSelectorKey() const {
    Lock lock = LockMap();
    SelectorKey key;
    key.reserve(mSelecting.size());
    for (const MemoryNode* selector : mSelecting) {
        key.push_back(selector->GetKeyValue());
    }
    return key;
}

MemoryNode::Lock MemoryNode::LockMap() const {
    return Lock(mMap.Mutex());
}

void MemoryNode::CheckReadable() const {
    const EAccessMode mode = GetAccessMode();
    if (!IsReadable(mode)) {
        throw AccessException("Node is not readable : Node = '" + mName.str() + "'", __FILE__,
                              __LINE__);
    }
}

void MemoryNode::CheckWritable() const {
    const EAccessMode mode = GetAccessMode();
    if (mMap.IsBypassingAccess() && IsImplemented(mode)) {
        return;
    }
    if (!IsWritable(mode)) {
        throw AccessException("Node is not writable : Node = '" + mName.str() + "'", __FILE__,
                              __LINE__);
    }
}

void MemoryNode::NotifyWritten() {
    if (mMap.IsBypassingAccess()) {
        return;
    }
    for (const auto& listener : mWriteListeners) {
        listener();
    }
}

}  // namespace sdk
