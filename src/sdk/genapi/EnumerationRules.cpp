#include "sdk/genapi/EnumerationRules.h"

#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/IEnumEntry.h"
#include "sdk/genapi/IEnumeration.h"
#include "sdk/genapi/INode.h"
#include "sdk/genapi/NodeAccess.h"

namespace sdk {

namespace {

std::string FeatureName(const IEnumeration& enumeration) {
    return enumeration.GetNode()->GetName().str();
}

}  // namespace

const IEnumEntry& EnumEntryForText(const IEnumeration& enumeration, const gcstring& symbolic,
                                   const gcstring& text) {
    const IEnumEntry* entry = enumeration.GetEntryByName(symbolic);
    if (!entry) {
        throw InvalidArgumentException("Feature '" + FeatureName(enumeration) +
                                           "' : cannot convert value '" + text.str() +
                                           "', the value is invalid",
                                       __FILE__, __LINE__);
    }
    return *entry;
}

void CheckEnumEntryToWrite(const IEnumeration& enumeration, const IEnumEntry* entry,
                           int64_t value) {
    if (!entry) {
        throw OutOfRangeException("Feature '" + FeatureName(enumeration) + "' : value " +
                                      std::to_string(value) + " is not an entry",
                                  __FILE__, __LINE__);
    }
    if (!IsAvailable(entry->GetAccessMode())) {
        throw AccessException("Feature '" + FeatureName(enumeration) + "' : entry '" +
                                  entry->GetSymbolic().str() + "' is not available",
                              __FILE__, __LINE__);
    }
}

}  // namespace sdk
