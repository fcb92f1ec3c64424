#pragma once

#include <cstdint>

#include "sdk/genapi/IEnumEntry.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// One entry of an EnumerationNode, named "EnumEntry_<enumeration>_<symbolic>" in its map.
// Read-only while available; SetAccessMode(NA) (or an access provider) makes it unavailable.
class EnumEntryNode : public MemoryNode, public IEnumEntry {
  public:
    EnumEntryNode(MemoryNodeMap& map, const gcstring& name, const gcstring& symbolic,
                  int64_t value);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetValue() const override { return mValue; }
    gcstring GetSymbolic() const override { return mSymbolic; }
    double GetNumericValue() const override { return static_cast<double>(mValue); }

  private:
    const gcstring mSymbolic;
    const int64_t mValue;
};

}  // namespace sdk
