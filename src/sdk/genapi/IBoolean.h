#pragma once

#include "sdk/genapi/IValue.h"

namespace sdk {

// Boolean feature; its text form is "1" or "0" ("true"/"false" are accepted when parsing).
class IBoolean : public virtual IValue {
  public:
    virtual bool GetValue(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void SetValue(bool value, bool verify = true) = 0;

    IBoolean& operator=(bool value) {
        SetValue(value);
        return *this;
    }
    bool operator()() const { return GetValue(); }
};

}  // namespace sdk
