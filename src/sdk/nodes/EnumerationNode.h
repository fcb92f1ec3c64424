#pragma once

#include <cstdint>
#include <vector>

#include "sdk/genapi/IEnumeration.h"
#include "sdk/nodes/ValueNode.h"

namespace sdk {

class EnumEntryNode;

// In-memory enumeration (see MemoryNodeMap). Entries keep the order they were added in; the first
// one added is the initial value. Hooks: a value provider and a write handler as IntegerNode.
class EnumerationNode : public ValueNode<EnumerationNode, int64_t>, public IEnumeration {
  public:
    EnumerationNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void GetEntries(NodeList_t& entries) const override;
    IEnumEntry* GetEntryByName(const gcstring& symbolic) const override;
    IEnumEntry* GetEntry(int64_t value) const override;
    IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) const override;
    int64_t GetIntValue(bool verify = false, bool ignoreCache = false) const override;
    void SetIntValue(int64_t value, bool verify = true) override;
    using IEnumeration::GetEntries;
    using IEnumeration::operator=;

    // Adds an entry; an unavailable one is NA.
    EnumEntryNode& AddEntry(const gcstring& symbolic, int64_t value, bool available = true);
    // The stored value in every selector state, unchecked.
    EnumerationNode& Initialize(int64_t value);
    EnumerationNode& Initialize(const gcstring& symbolic);

    // Symbolic name of the current value (empty when it is no entry), without access check.
    gcstring ReadSymbolic() const;

    int64_t GetKeyValue() const override { return ReadRaw(); }

  private:
    EnumEntryNode* FindEntry(int64_t value) const;

    std::vector<EnumEntryNode*> mEntries;  // nodes owned by the map
    bool mHasValue = false;
};

}  // namespace sdk
