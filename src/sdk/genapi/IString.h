#pragma once

#include <cstdint>

#include "sdk/genapi/IValue.h"

namespace sdk {

// Text feature. SetValue throws OutOfRangeException for a text longer than GetMaxLength().
class IString : public virtual IValue {
  public:
    virtual gcstring GetValue(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void SetValue(const gcstring& value, bool verify = true) = 0;
    virtual int64_t GetMaxLength() const = 0;

    IString& operator=(const gcstring& value) {
        SetValue(value);
        return *this;
    }
};

}  // namespace sdk
