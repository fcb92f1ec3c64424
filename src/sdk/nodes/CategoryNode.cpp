#include "sdk/nodes/CategoryNode.h"

#include "sdk/genapi/GenericException.h"

namespace sdk {

CategoryNode::CategoryNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfICategory) {
    SetAccessMode(RO);
}

INode* CategoryNode::GetNode() const {
    return const_cast<CategoryNode*>(this);
}

gcstring CategoryNode::ToString(bool, bool) const {
    return gcstring();
}

void CategoryNode::FromString(const gcstring&, bool) {
    throw AccessException("Node is not writable : Node = '" + GetName().str() + "'", __FILE__,
                          __LINE__);
}

void CategoryNode::GetFeatures(FeatureList_t& features) const {
    Lock lock = LockMap();
    features.clear();
    for (MemoryNode* node : mFeatures) {
        features.push_back(dynamic_cast<IValue*>(node));
    }
}

CategoryNode& CategoryNode::AddFeature(MemoryNode& feature) {
    Lock lock = LockMap();
    mFeatures.push_back(&feature);
    return *this;
}

}  // namespace sdk
