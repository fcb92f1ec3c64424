#pragma once

#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeTypes.h"

namespace sdk {

// Floating-point feature. SetValue throws AccessException when the node is not writable and
// OutOfRangeException outside [GetMin, GetMax]. A device may store a value near the one written
// (rounded to its own resolution); read it back to know.
class IFloat : public virtual IValue {
  public:
    virtual double GetValue(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void SetValue(double value, bool verify = true) = 0;
    virtual double GetMin() const = 0;
    virtual double GetMax() const = 0;
    virtual bool HasInc() const = 0;
    // The increment; 0 when HasInc() is false.
    virtual double GetInc() const = 0;
    virtual ERepresentation GetRepresentation() const = 0;
    virtual gcstring GetUnit() const = 0;

    IFloat& operator=(double value) {
        SetValue(value);
        return *this;
    }
    double operator()() const { return GetValue(); }
};

}  // namespace sdk
