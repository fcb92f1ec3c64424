#pragma once

#include <cstdint>

#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeTypes.h"

namespace sdk {

// Integer feature. SetValue throws AccessException when the node is not writable and
// OutOfRangeException when the value is outside [GetMin, GetMax] or not GetMin + n * GetInc.
class IInteger : public virtual IValue {
  public:
    virtual int64_t GetValue(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void SetValue(int64_t value, bool verify = true) = 0;
    virtual int64_t GetMin() const = 0;
    virtual int64_t GetMax() const = 0;
    virtual int64_t GetInc() const = 0;
    virtual ERepresentation GetRepresentation() const = 0;
    virtual gcstring GetUnit() const = 0;

    IInteger& operator=(int64_t value) {
        SetValue(value);
        return *this;
    }
    int64_t operator()() const { return GetValue(); }
};

}  // namespace sdk
