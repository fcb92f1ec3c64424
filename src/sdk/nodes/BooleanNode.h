#pragma once

#include "sdk/genapi/IBoolean.h"
#include "sdk/nodes/ValueNode.h"

namespace sdk {

// In-memory boolean feature (see MemoryNodeMap), with a value provider and a write handler.
class BooleanNode : public ValueNode<BooleanNode, bool>, public IBoolean {
  public:
    BooleanNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    bool GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(bool value, bool verify = true) override;
    using IBoolean::operator=;
};

}  // namespace sdk
