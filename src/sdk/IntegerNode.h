#pragma once

#include <cstdint>
#include <functional>

#include "sdk/IInteger.h"
#include "sdk/MemoryNode.h"

namespace sdk {

// In-memory integer feature (see MemoryNodeMap). Range [0, INT64_MAX] with increment 1 unless
// set. Hooks: min/max providers (coupled ranges), a value provider (computed values), a write
// handler (the write goes there instead of the stored value, e.g. to rescale into another
// feature). Writes always check access, range and increment.
class IntegerNode : public MemoryNode, public IInteger {
  public:
    IntegerNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(int64_t value, bool verify = true) override;
    int64_t GetMin() const override;
    int64_t GetMax() const override;
    int64_t GetInc() const override;
    ERepresentation GetRepresentation() const override;
    gcstring GetUnit() const override;
    using IInteger::operator=;

    IntegerNode& SetRange(int64_t min, int64_t max, int64_t inc = 1);
    IntegerNode& SetMinProvider(std::function<int64_t()> provider);
    IntegerNode& SetMaxProvider(std::function<int64_t()> provider);
    IntegerNode& SetRepresentation(ERepresentation representation);
    IntegerNode& SetUnit(const gcstring& unit);
    IntegerNode& SetValueProvider(std::function<int64_t()> provider);
    IntegerNode& SetWriteHandler(std::function<void(int64_t)> handler);
    // The stored value in every selector state, unchecked.
    IntegerNode& Initialize(int64_t value);

    // The value without access check (provider or stored value for the current selectors).
    int64_t ReadRaw() const;
    // The stored value for a selector state, and storing without checks.
    int64_t StoredValue(const SelectorKey& key) const;
    void Store(int64_t value);
    void Store(const SelectorKey& key, int64_t value);

    int64_t GetKeyValue() const override { return ReadRaw(); }

  private:
    SelectedValue<int64_t> mValue;
    int64_t mMin = 0;
    int64_t mMax = INT64_MAX;
    int64_t mInc = 1;
    ERepresentation mRepresentation = PureNumber;
    gcstring mUnit;
    std::function<int64_t()> mMinProvider;
    std::function<int64_t()> mMaxProvider;
    std::function<int64_t()> mValueProvider;
    std::function<void(int64_t)> mWriteHandler;
};

}  // namespace sdk
