#include "sdk/nodes/EnumEntryNode.h"

#include "sdk/genapi/GenericException.h"

namespace sdk {

EnumEntryNode::EnumEntryNode(MemoryNodeMap& map, const gcstring& name, const gcstring& symbolic,
                             int64_t value)
    : MemoryNode(map, name, intfIEnumEntry), mSymbolic(symbolic), mValue(value) {
    SetAccessMode(RO);
}

INode* EnumEntryNode::GetNode() const {
    return const_cast<EnumEntryNode*>(this);
}

gcstring EnumEntryNode::ToString(bool, bool) const {
    return mSymbolic;
}

void EnumEntryNode::FromString(const gcstring&, bool) {
    throw AccessException("Node is not writable : Node = '" + GetName().str() + "'", __FILE__,
                          __LINE__);
}

}  // namespace sdk
