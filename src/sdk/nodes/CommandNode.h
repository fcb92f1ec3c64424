#pragma once

#include <functional>

#include "sdk/genapi/ICommand.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// In-memory command (see MemoryNodeMap); write-only unless set otherwise. Execute runs the
// handler; commands complete at once. Its text form is empty; FromString("1") executes.
class CommandNode : public MemoryNode, public ICommand {
  public:
    CommandNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void Execute(bool verify = true) override;
    bool IsDone(bool verify = true) const override;

    CommandNode& SetExecuteHandler(std::function<void()> handler);

  private:
    std::function<void()> mHandler;
};

}  // namespace sdk
