#include "sdk/aravis/AravisNodes.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "sdk/aravis/AravisNodeMap.h"
#include "sdk/aravis/AravisSupport.h"
#include "sdk/genapi/EnumerationRules.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/nodes/NodeText.h"

// The node classes of booleans, strings, commands, enumerations and their entries, categories,
// registers and the other nodes; the base node and the numbers are in AravisNodes.cpp.

namespace sdk {

using aravis::Text;

// ---------------------------------------------------------------------------------------------
// AravisBoolean

AravisBoolean::AravisBoolean(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIBoolean) {}

gcstring AravisBoolean::ToString(bool verify, bool ignoreCache) const {
    return GetValue(verify, ignoreCache) ? "1" : "0";
}

void AravisBoolean::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseBoolean(text.str(), GetName().str()), verify);
}

bool AravisBoolean::GetValue(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const bool value = arv_gc_boolean_get_value(ARV_GC_BOOLEAN(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

void AravisBoolean::SetValue(bool value, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_boolean_set_value(ARV_GC_BOOLEAN(Arv()), value, &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        GetValue(false, false);  // the written registers are read from the device
    }
}

// ---------------------------------------------------------------------------------------------
// AravisString

AravisString::AravisString(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIString) {}

gcstring AravisString::ToString(bool verify, bool ignoreCache) const {
    return GetValue(verify, ignoreCache);
}

void AravisString::FromString(const gcstring& text, bool verify) {
    SetValue(text, verify);
}

// A string register of length 0 holds the empty text; Aravis would be asked with an empty
// buffer.
bool AravisString::IsEmptyRegister() const {
    if (!ARV_IS_GC_REGISTER(Arv())) {
        return false;
    }
    GError* error = nullptr;
    const uint64_t length = arv_gc_register_get_length(ARV_GC_REGISTER(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return length == 0;
}

gcstring AravisString::GetValue(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    if (IsEmptyRegister()) {
        return gcstring();
    }
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const std::string value = Text(arv_gc_string_get_value(ARV_GC_STRING(Arv()), &error));
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

void AravisString::SetValue(const gcstring& value, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    const int64_t maxLength = GetMaxLength();
    if (maxLength > 0 && static_cast<int64_t>(value.size()) > maxLength) {
        throw OutOfRangeException("Text of " + std::to_string(value.size()) +
                                      " characters is longer than " + std::to_string(maxLength) +
                                      " : Node = '" + GetName().str() + "'",
                                  __FILE__, __LINE__);
    }
    if (IsEmptyRegister()) {
        if (!value.empty()) {
            throw OutOfRangeException("Text of " + std::to_string(value.size()) +
                                          " characters does not fit a register of 0 bytes"
                                          " : Node = '" +
                                          GetName().str() + "'",
                                      __FILE__, __LINE__);
        }
        return;
    }
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_string_set_value(ARV_GC_STRING(Arv()), value.c_str(), &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        GetValue(false, false);  // the written registers are read from the device
    }
}

int64_t AravisString::GetMaxLength() const {
    Lock lock = LockMap();
    GError* error = nullptr;
    const int64_t length = arv_gc_string_get_max_length(ARV_GC_STRING(Arv()), &error);
    if (error) {
        g_clear_error(&error);
        return 0;
    }
    return length;
}

// ---------------------------------------------------------------------------------------------
// AravisCommand

AravisCommand::AravisCommand(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfICommand) {}

EAccessMode AravisCommand::BaseAccessMode() const {
    const EAccessMode mode = AravisNode::BaseAccessMode();
    return mode == RO ? NA : mode;
}

gcstring AravisCommand::ToString(bool, bool) const {
    return gcstring();
}

void AravisCommand::FromString(const gcstring& text, bool verify) {
    if (nodetext::ParseBoolean(text.str(), GetName().str())) {
        Execute(verify);
    }
}

void AravisCommand::Execute(bool) {
    Lock lock = LockMap();
    CheckWritable();
    Map().NotifyCommand(GetName().str());
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_command_execute(ARV_GC_COMMAND(Arv()), &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
}

bool AravisCommand::IsDone(bool) const {
    return true;
}

// ---------------------------------------------------------------------------------------------
// AravisEnumeration

AravisEnumeration::AravisEnumeration(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIEnumeration) {}

gcstring AravisEnumeration::ToString(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    const IEnumEntry* entry = GetCurrentEntry(verify, ignoreCache);
    if (!entry) {
        throw RuntimeException("Feature '" + GetName().str() + "' : value " +
                                   std::to_string(ReadInt(false)) + " is no entry",
                               __FILE__, __LINE__);
    }
    return entry->GetSymbolic();
}

void AravisEnumeration::FromString(const gcstring& text, bool verify) {
    SetIntValue(EnumEntryForText(*this, nodetext::Trim(text.str()), text).GetValue(), verify);
}

void AravisEnumeration::GetEntries(NodeList_t& entries) const {
    entries.clear();
    for (AravisEnumEntry* entry : mEntries) {
        entries.push_back(entry);
    }
}

IEnumEntry* AravisEnumeration::GetEntryByName(const gcstring& symbolic) const {
    for (AravisEnumEntry* entry : mEntries) {
        if (entry->GetSymbolic() == symbolic) {
            return entry;
        }
    }
    return nullptr;
}

IEnumEntry* AravisEnumeration::GetEntry(int64_t value) const {
    Lock lock = LockMap();
    // An entry that is implemented wins over one of the same value that is not.
    IEnumEntry* found = nullptr;
    for (AravisEnumEntry* entry : mEntries) {
        if (entry->GetValue() == value) {
            if (IsImplemented(entry->GetAccessMode())) {
                return entry;
            }
            found = found ? found : entry;
        }
    }
    return found;
}

IEnumEntry* AravisEnumeration::GetCurrentEntry(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    return GetEntry(ReadInt(ignoreCache));
}

int64_t AravisEnumeration::ReadInt(bool ignoreCache) const {
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const int64_t value = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

int64_t AravisEnumeration::GetIntValue(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadInt(ignoreCache);
}

void AravisEnumeration::SetIntValue(int64_t value, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    CheckEnumEntryToWrite(*this, GetEntry(value), value);
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), IsSelector());
        arv_gc_enumeration_set_int_value(ARV_GC_ENUMERATION(Arv()), value, &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        ReadInt(false);  // the written registers are read from the device
    }
}

// ---------------------------------------------------------------------------------------------
// AravisEnumEntry

AravisEnumEntry::AravisEnumEntry(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name,
                                 std::string symbolic)
    : AravisNode(map, node, std::move(name), intfIEnumEntry), mSymbolic(std::move(symbolic)) {}

gcstring AravisEnumEntry::ToString(bool, bool) const {
    return mSymbolic;
}

void AravisEnumEntry::FromString(const gcstring&, bool) {
    throw AccessException("Node is not writable : Node = '" + GetName().str() + "'", __FILE__,
                          __LINE__);
}

int64_t AravisEnumEntry::GetValue() const {
    Lock lock = LockMap();
    GError* error = nullptr;
    const int64_t value = arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

// ---------------------------------------------------------------------------------------------
// AravisCategory

AravisCategory::AravisCategory(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfICategory) {}

gcstring AravisCategory::ToString(bool, bool) const {
    return gcstring();
}

void AravisCategory::FromString(const gcstring&, bool) {
    throw AccessException("Node is not writable : Node = '" + GetName().str() + "'", __FILE__,
                          __LINE__);
}

void AravisCategory::GetFeatures(FeatureList_t& features) const {
    Lock lock = LockMap();
    features.clear();
    for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(Arv())); item;
         item = item->next) {
        if (IValue* value = As<IValue>(Map().Find(Text(static_cast<const char*>(item->data))))) {
            features.push_back(value);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// AravisRegister

AravisRegister::AravisRegister(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIRegister) {}

gcstring AravisRegister::ToString(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    const int64_t length = GetLength();
    std::vector<uint8_t> bytes(
        static_cast<size_t>(std::max<int64_t>(0, std::min(length, kLargestRegister + 1))));
    Get(bytes.data(), static_cast<int64_t>(bytes.size()), verify, ignoreCache);
    return nodetext::FormatBytes(bytes);
}

void AravisRegister::FromString(const gcstring& text, bool verify) {
    const std::string t = nodetext::Trim(text.str());
    if (t.size() < 2 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X') || t.size() % 2 != 0) {
        throw InvalidArgumentException(
            "Node '" + GetName().str() + "' : cannot convert '" + t + "' to bytes", __FILE__,
            __LINE__);
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 2; i < t.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(t.c_str() + i, "%2x", &value) != 1) {
            throw InvalidArgumentException(
                "Node '" + GetName().str() + "' : cannot convert '" + t + "' to bytes", __FILE__,
                __LINE__);
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    Set(bytes.data(), static_cast<int64_t>(bytes.size()), verify);
}

int64_t AravisRegister::GetAddress() const {
    Lock lock = LockMap();
    GError* error = nullptr;
    const uint64_t address = arv_gc_register_get_address(ARV_GC_REGISTER(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return static_cast<int64_t>(address);
}

int64_t AravisRegister::GetLength() const {
    Lock lock = LockMap();
    Map().ThrowIfLost(Context());
    GError* error = nullptr;
    const uint64_t length = arv_gc_register_get_length(ARV_GC_REGISTER(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return static_cast<int64_t>(length);
}

void AravisRegister::Get(uint8_t* buffer, int64_t length, bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    const int64_t own = GetLength();
    if (own <= 0) {
        return;  // nothing to read; Aravis must not see an empty buffer
    }
    // Aravis reads and caches a register whole: a length no device memory has (a size register
    // shifted by a depth, say) is refused before anything is allocated.
    if (own > kLargestRegister) {
        throw OutOfRangeException("Register of " + std::to_string(own) + " bytes is larger than " +
                                      std::to_string(kLargestRegister) + " : Node = '" +
                                      GetName().str() + "'",
                                  __FILE__, __LINE__);
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(own));
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    arv_gc_register_get(ARV_GC_REGISTER(Arv()), bytes.data(), bytes.size(), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    for (int64_t i = 0; i < length && i < own; ++i) {
        buffer[i] = bytes[static_cast<size_t>(i)];
    }
}

void AravisRegister::Set(const uint8_t* buffer, int64_t length, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    const int64_t own = GetLength();
    if (length != own) {
        throw OutOfRangeException("Register of " + std::to_string(own) + " bytes cannot take " +
                                      std::to_string(length) + " : Node = '" + GetName().str() +
                                      "'",
                                  __FILE__, __LINE__);
    }
    if (own <= 0) {
        return;  // nothing to write; Aravis must not see an empty buffer
    }
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_register_set(ARV_GC_REGISTER(Arv()), buffer, static_cast<guint64>(length), &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        std::vector<uint8_t> back(static_cast<size_t>(own));
        Get(back.data(), own, false, false);  // read from the device
    }
}

// ---------------------------------------------------------------------------------------------
// AravisOtherNode

AravisOtherNode::AravisOtherNode(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name,
                                 EInterfaceType type)
    : AravisNode(map, node, std::move(name), type) {}

gcstring AravisOtherNode::ToString(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const std::string text = Text(arv_gc_feature_node_get_value_as_string(Arv(), &error));
    Map().Check(error, Context(), __FILE__, __LINE__);
    return text;
}

void AravisOtherNode::FromString(const gcstring& text, bool) {
    Lock lock = LockMap();
    CheckWritable();
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_feature_node_set_value_from_string(Arv(), text.c_str(), &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
}

}  // namespace sdk
