#include "sdk/nodes/CommandNode.h"

#include "sdk/nodes/NodeText.h"

namespace sdk {

CommandNode::CommandNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfICommand) {
    SetAccessMode(WO);
}

INode* CommandNode::GetNode() const {
    return const_cast<CommandNode*>(this);
}

gcstring CommandNode::ToString(bool, bool) const {
    return gcstring();
}

void CommandNode::FromString(const gcstring& text, bool verify) {
    if (nodetext::ParseBoolean(text.str(), GetName().str())) {
        Execute(verify);
    }
}

void CommandNode::Execute(bool) {
    Lock lock = LockMap();
    CheckWritable();
    if (mHandler) {
        mHandler();
    }
    NotifyWritten();
}

bool CommandNode::IsDone(bool) const {
    return true;
}

CommandNode& CommandNode::SetExecuteHandler(std::function<void()> handler) {
    Lock lock = LockMap();
    mHandler = std::move(handler);
    return *this;
}

}  // namespace sdk
