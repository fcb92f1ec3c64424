#pragma once

#include <cstdint>

#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeTypes.h"

namespace sdk {

class IEnumEntry;

// Enumeration feature. Its entries keep the device's order (GetEntries), available or not.
// SetIntValue throws OutOfRangeException for a value that is no entry and AccessException for an
// entry that is not available; FromString throws InvalidArgumentException for an unknown name.
class IEnumeration : public virtual IValue {
  public:
    // All entry nodes, in the device's order.
    virtual void GetEntries(NodeList_t& entries) const = 0;
    // The entry with that symbolic name, or null.
    virtual IEnumEntry* GetEntryByName(const gcstring& symbolic) const = 0;
    // The entry with that integer value, or null.
    virtual IEnumEntry* GetEntry(int64_t value) const = 0;
    virtual IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) const = 0;
    virtual int64_t GetIntValue(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void SetIntValue(int64_t value, bool verify = true) = 0;

    NodeList_t GetEntries() const {
        NodeList_t list;
        GetEntries(list);
        return list;
    }
    IEnumeration& operator=(const gcstring& symbolic) {
        FromString(symbolic);
        return *this;
    }
};

}  // namespace sdk
