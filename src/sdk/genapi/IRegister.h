#pragma once

#include <cstdint>

#include "sdk/genapi/IValue.h"

namespace sdk {

// A block of device memory. ToString gives its bytes as "0x" followed by two upper-case hex
// digits per byte, in address order; FromString takes the same form.
class IRegister : public virtual IValue {
  public:
    virtual int64_t GetAddress() const = 0;
    virtual int64_t GetLength() const = 0;
    // Copies min(length, GetLength()) bytes.
    virtual void Get(uint8_t* buffer, int64_t length, bool verify = false,
                     bool ignoreCache = false) const = 0;
    virtual void Set(const uint8_t* buffer, int64_t length, bool verify = true) = 0;
};

}  // namespace sdk
