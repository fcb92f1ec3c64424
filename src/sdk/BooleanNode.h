#pragma once

#include <functional>

#include "sdk/IBoolean.h"
#include "sdk/MemoryNode.h"

namespace sdk {

// In-memory boolean feature (see MemoryNodeMap), with a value provider and a write handler.
class BooleanNode : public MemoryNode, public IBoolean {
  public:
    BooleanNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    bool GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(bool value, bool verify = true) override;
    using IBoolean::operator=;

    BooleanNode& SetValueProvider(std::function<bool()> provider);
    BooleanNode& SetWriteHandler(std::function<void(bool)> handler);
    BooleanNode& Initialize(bool value);

    bool ReadRaw() const;
    bool StoredValue(const SelectorKey& key) const;
    void Store(bool value);
    void Store(const SelectorKey& key, bool value);

  private:
    SelectedValue<bool> mValue{false};
    std::function<bool()> mValueProvider;
    std::function<void(bool)> mWriteHandler;
};

}  // namespace sdk
