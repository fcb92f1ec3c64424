#pragma once

#include <cstdint>

#include "sdk/genapi/IInteger.h"
#include "sdk/nodes/NumericNode.h"

namespace sdk {

// In-memory integer feature (see MemoryNodeMap). Range [0, INT64_MAX] with increment 1 unless
// set. Hooks: min/max providers (coupled ranges), a value provider (computed values), a write
// handler (the write goes there instead of the stored value, e.g. to rescale into another
// feature). Writes always check access, range and increment.
class IntegerNode : public NumericNode<IntegerNode, int64_t, IInteger> {
  public:
    IntegerNode(MemoryNodeMap& map, const gcstring& name);

    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void SetValue(int64_t value, bool verify = true) override;
    int64_t GetInc() const override;
    using IInteger::operator=;

    IntegerNode& SetRange(int64_t min, int64_t max, int64_t inc = 1);

    int64_t GetKeyValue() const override { return ReadRaw(); }

  private:
    int64_t mInc = 1;
};

}  // namespace sdk
