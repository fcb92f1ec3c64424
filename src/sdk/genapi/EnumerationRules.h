#pragma once

#include <cstdint>

#include "sdk/genapi/GcString.h"

namespace sdk {

class IEnumEntry;
class IEnumeration;

// What every enumeration node does alike, whichever family implements IEnumeration (the
// in-memory nodes, the Aravis nodes): the entry a text names and the entry a value is written
// as, with the exceptions the interface promises. The messages name the feature
// (enumeration.GetNode()->GetName()).
//
// Threading: as the enumeration's own calls; callers hold its lock where it has one.

// The entry named symbolic, for FromString(text); throws InvalidArgumentException naming the
// text when there is none.
const IEnumEntry& EnumEntryForText(const IEnumeration& enumeration, const gcstring& symbolic,
                                   const gcstring& text);

// Checks the entry found for a value SetIntValue is to write: throws OutOfRangeException when
// there is none (entry null) and AccessException when it is not available.
void CheckEnumEntryToWrite(const IEnumeration& enumeration, const IEnumEntry* entry, int64_t value);

}  // namespace sdk
