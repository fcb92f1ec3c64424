#pragma once

#include "sdk/genapi/IFloat.h"
#include "sdk/nodes/NumericNode.h"

namespace sdk {

// In-memory floating-point feature (see MemoryNodeMap). Range [-DBL_MAX, DBL_MAX] and no
// increment unless set. Hooks as IntegerNode: min/max providers, a value provider and a write
// handler (which may store something other than what was written, as a device that rounds).
class FloatNode : public NumericNode<FloatNode, double, IFloat> {
  public:
    FloatNode(MemoryNodeMap& map, const gcstring& name);

    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void SetValue(double value, bool verify = true) override;
    bool HasInc() const override;
    double GetInc() const override;
    using IFloat::operator=;

    FloatNode& SetRange(double min, double max);
    FloatNode& SetInc(double inc);

  private:
    double mInc = 0.0;
};

}  // namespace sdk
