#include "sdk/nodes/EnumerationNode.h"

#include <string>

#include "sdk/genapi/EnumerationRules.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/nodes/EnumEntryNode.h"
#include "sdk/nodes/MemoryNodeMap.h"

namespace sdk {

EnumerationNode::EnumerationNode(MemoryNodeMap& map, const gcstring& name)
    : ValueNode(map, name, intfIEnumeration) {}

INode* EnumerationNode::GetNode() const {
    return const_cast<EnumerationNode*>(this);
}

gcstring EnumerationNode::ToString(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    const int64_t value = GetIntValue(verify, ignoreCache);
    const EnumEntryNode* entry = FindEntry(value);
    if (!entry) {
        throw RuntimeException("Enumeration '" + GetName().str() + "' holds value " +
                                   std::to_string(value) + ", which is no entry",
                               __FILE__, __LINE__);
    }
    return entry->GetSymbolic();
}

void EnumerationNode::FromString(const gcstring& text, bool verify) {
    Lock lock = LockMap();
    SetIntValue(EnumEntryForText(*this, text, text).GetValue(), verify);
}

void EnumerationNode::GetEntries(NodeList_t& entries) const {
    Lock lock = LockMap();
    entries.assign(mEntries.begin(), mEntries.end());
}

IEnumEntry* EnumerationNode::GetEntryByName(const gcstring& symbolic) const {
    Lock lock = LockMap();
    for (EnumEntryNode* entry : mEntries) {
        if (entry->GetSymbolic() == symbolic) {
            return entry;
        }
    }
    return nullptr;
}

IEnumEntry* EnumerationNode::GetEntry(int64_t value) const {
    return FindEntry(value);
}

IEnumEntry* EnumerationNode::GetCurrentEntry(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    return FindEntry(GetIntValue(verify, ignoreCache));
}

int64_t EnumerationNode::GetIntValue(bool, bool) const {
    return ReadChecked();
}

void EnumerationNode::SetIntValue(int64_t value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    CheckEnumEntryToWrite(*this, FindEntry(value), value);
    WriteChecked(value);
}

EnumEntryNode& EnumerationNode::AddEntry(const gcstring& symbolic, int64_t value, bool available) {
    Lock lock = LockMap();
    EnumEntryNode& entry = Map().Add<EnumEntryNode>(
        "EnumEntry_" + GetName().str() + "_" + symbolic.str(), symbolic, value);
    if (!available) {
        entry.SetAccessMode(NA);
    }
    mEntries.push_back(&entry);
    if (!mHasValue) {
        Initialize(value);
    }
    return entry;
}

EnumerationNode& EnumerationNode::Initialize(int64_t value) {
    Lock lock = LockMap();
    ValueNode::Initialize(value);
    mHasValue = true;
    return *this;
}

EnumerationNode& EnumerationNode::Initialize(const gcstring& symbolic) {
    Lock lock = LockMap();
    const IEnumEntry* entry = GetEntryByName(symbolic);
    if (!entry) {
        throw LogicalErrorException(
            "Enumeration '" + GetName().str() + "' has no entry '" + symbolic.str() + "'", __FILE__,
            __LINE__);
    }
    return Initialize(entry->GetValue());
}

gcstring EnumerationNode::ReadSymbolic() const {
    Lock lock = LockMap();
    const EnumEntryNode* entry = FindEntry(ReadRaw());
    return entry ? entry->GetSymbolic() : gcstring();
}

EnumEntryNode* EnumerationNode::FindEntry(int64_t value) const {
    Lock lock = LockMap();
    for (EnumEntryNode* entry : mEntries) {
        if (entry->GetValue() == value) {
            return entry;
        }
    }
    return nullptr;
}

}  // namespace sdk
