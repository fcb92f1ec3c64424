#pragma once

#include <cstdint>

#include "sdk/genapi/IValue.h"

namespace sdk {

// One entry of an enumeration. Its node is readable (RO) while the entry is available and NA
// when the device offers it but cannot use it now (or never, on this model).
class IEnumEntry : public virtual IValue {
  public:
    virtual int64_t GetValue() const = 0;
    // The entry's name as the enumeration's text form uses it, e.g. "Mono8".
    virtual gcstring GetSymbolic() const = 0;
    virtual double GetNumericValue() const = 0;
};

}  // namespace sdk
