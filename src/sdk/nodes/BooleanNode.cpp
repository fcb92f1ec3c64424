#include "sdk/nodes/BooleanNode.h"

#include "sdk/nodes/NodeText.h"

namespace sdk {

BooleanNode::BooleanNode(MemoryNodeMap& map, const gcstring& name)
    : ValueNode(map, name, intfIBoolean) {}

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
    return ReadChecked();
}

void BooleanNode::SetValue(bool value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    WriteChecked(value);
}

}  // namespace sdk
