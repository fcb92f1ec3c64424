#pragma once

#include <functional>

#include "sdk/IFloat.h"
#include "sdk/MemoryNode.h"

namespace sdk {

// In-memory floating-point feature (see MemoryNodeMap). Range [-DBL_MAX, DBL_MAX] and no
// increment unless set. Hooks as IntegerNode: min/max providers, a value provider and a write
// handler (which may store something other than what was written, as a device that rounds).
class FloatNode : public MemoryNode, public IFloat {
  public:
    FloatNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    double GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(double value, bool verify = true) override;
    double GetMin() const override;
    double GetMax() const override;
    bool HasInc() const override;
    double GetInc() const override;
    ERepresentation GetRepresentation() const override;
    gcstring GetUnit() const override;
    using IFloat::operator=;

    FloatNode& SetRange(double min, double max);
    FloatNode& SetInc(double inc);
    FloatNode& SetMinProvider(std::function<double()> provider);
    FloatNode& SetMaxProvider(std::function<double()> provider);
    FloatNode& SetRepresentation(ERepresentation representation);
    FloatNode& SetUnit(const gcstring& unit);
    FloatNode& SetValueProvider(std::function<double()> provider);
    FloatNode& SetWriteHandler(std::function<void(double)> handler);
    FloatNode& Initialize(double value);

    double ReadRaw() const;
    void Store(double value);
    void Store(const SelectorKey& key, double value);

  private:
    SelectedValue<double> mValue;
    double mMin;
    double mMax;
    double mInc = 0.0;
    ERepresentation mRepresentation = Linear;
    gcstring mUnit;
    std::function<double()> mMinProvider;
    std::function<double()> mMaxProvider;
    std::function<double()> mValueProvider;
    std::function<void(double)> mWriteHandler;
};

}  // namespace sdk
