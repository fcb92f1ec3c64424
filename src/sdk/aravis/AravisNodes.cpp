#include "sdk/aravis/AravisNodes.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <limits>
#include <unordered_set>
#include <vector>

#include "sdk/aravis/AravisNodeMap.h"
#include "sdk/aravis/AravisSupport.h"
#include "sdk/genapi/EnumerationRules.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/nodes/NodeText.h"

namespace sdk {

using aravis::Text;

namespace {

EAccessMode FromArv(ArvGcAccessMode mode) {
    switch (mode) {
        case ARV_GC_ACCESS_MODE_RO:
            return RO;
        case ARV_GC_ACCESS_MODE_WO:
            return WO;
        case ARV_GC_ACCESS_MODE_RW:
            return RW;
        default:
            return _UndefinedAccesMode;
    }
}

// GenApi's combination of two access modes: what both allow.
EAccessMode Combine(EAccessMode a, EAccessMode b) {
    if (a == _UndefinedAccesMode) {
        return b;
    }
    if (b == _UndefinedAccesMode) {
        return a;
    }
    if (a == NI || b == NI) {
        return NI;
    }
    if (a == NA || b == NA) {
        return NA;
    }
    if (a == RW) {
        return b;
    }
    if (b == RW) {
        return a;
    }
    return a == b ? a : NA;
}

// Aravis' error for a number without that bound (no <Min>/<Max> anywhere down its value
// chain); GenApi gives such a node the bound of its type.
bool IsMissingBound(const GError* error) {
    return error && error->domain == ARV_GC_ERROR &&
           (error->code == ARV_GC_ERROR_PROPERTY_NOT_DEFINED ||
            error->code == ARV_GC_ERROR_PVALUE_NOT_DEFINED ||
            error->code == ARV_GC_ERROR_NODE_NOT_FOUND);
}

ERepresentation FromArv(ArvGcRepresentation representation) {
    switch (representation) {
        case ARV_GC_REPRESENTATION_LINEAR:
            return Linear;
        case ARV_GC_REPRESENTATION_LOGARITHMIC:
            return Logarithmic;
        case ARV_GC_REPRESENTATION_BOOLEAN:
            return Boolean;
        case ARV_GC_REPRESENTATION_HEX_NUMBER:
            return HexNumber;
        case ARV_GC_REPRESENTATION_IPV4_ADDRESS:
            return IPV4Address;
        case ARV_GC_REPRESENTATION_MAC_ADDRESS:
            return MACAddress;
        default:
            return PureNumber;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// AravisNode

AravisNode::AravisNode(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name,
                       EInterfaceType type)
    : mMap(map), mNode(node), mName(std::move(name)), mType(type) {}

AravisNode::Lock::Lock(const AravisNodeMap& map) : mLock(map.Mutex()), mCache(map.Cache()) {
    mCache.BeginAsk();
}

AravisNode::Lock::~Lock() {
    mCache.EndAsk();
}

AravisNode::Lock AravisNode::LockMap() const {
    return Lock(mMap);
}

gcstring AravisNode::GetName(bool) const {
    return mName;
}

gcstring AravisNode::GetDisplayName() const {
    Lock lock = LockMap();
    const std::string text = Text(arv_gc_feature_node_get_display_name(mNode));
    return text.empty() ? gcstring(mName) : gcstring(text);
}

gcstring AravisNode::GetDescription() const {
    Lock lock = LockMap();
    return Text(arv_gc_feature_node_get_description(mNode));
}

gcstring AravisNode::GetToolTip() const {
    Lock lock = LockMap();
    return Text(arv_gc_feature_node_get_tooltip(mNode));
}

INodeMap* AravisNode::GetNodeMap() const {
    return &mMap;
}

EAccessMode AravisNode::BaseAccessMode() const {
    EAccessMode actual = FromArv(arv_gc_feature_node_get_actual_access_mode(mNode));
    const EAccessMode imposed = FromArv(arv_gc_feature_node_get_imposed_access_mode(mNode));
    if (actual == _UndefinedAccesMode && imposed == _UndefinedAccesMode) {
        actual = RW;
    }
    return Combine(actual, imposed);
}

EAccessMode AravisNode::GetAccessMode() const {
    Lock lock = LockMap();
    if (mMap.IsLost()) {
        return NA;
    }
    // Never called from inside one of Aravis' calls: the computed registers may be found here.
    mMap.Cache().ResolvePending();
    switch (mMap.BindingOf(*this)) {
        case AravisNodeMap::Binding::Chunk:
            if (!arv_gc_get_buffer(mMap.Genicam())) {
                return NA;  // chunk data exists only with a grabbed buffer
            }
            break;
        case AravisNodeMap::Binding::Event:
            return NA;  // Aravis delivers no event data
        case AravisNodeMap::Binding::Device:
            break;
    }
    // Which features exist and may be written changes with what is written, not on its own:
    // the mode found holds until something its conditions read is written, or the cache
    // forgets everything.
    const uint64_t changes = mMap.Cache().Changes();
    if (mAccessChanges == changes && !mAccessStale) {
        return mAccess;
    }
    bool failed = false;
    const EAccessMode mode = FindAccessMode(failed);
    if (!failed) {
        mAccess = mode;
        mAccessChanges = changes;
        mAccessStale = false;
    }
    return mode;
}

EAccessMode AravisNode::FindAccessMode(bool& failed) const {
    GError* error = nullptr;
    const bool implemented = arv_gc_feature_node_is_implemented(mNode, &error);
    if (error) {
        mMap.NoteError(error);
        g_clear_error(&error);
        failed = true;
        return NA;
    }
    if (!implemented) {
        return NI;
    }
    const bool available = arv_gc_feature_node_is_available(mNode, &error);
    if (error) {
        mMap.NoteError(error);
        g_clear_error(&error);
        failed = true;
        return NA;
    }
    if (!available) {
        return NA;
    }
    EAccessMode mode = BaseAccessMode();
    const bool locked = arv_gc_feature_node_is_locked(mNode, &error);
    if (error) {
        mMap.NoteError(error);
        g_clear_error(&error);
        failed = true;
        return NA;
    }
    if (locked) {
        mode = Combine(mode, RO);
    }
    return mode;
}

bool AravisNode::IsSelector() const {
    Lock lock = LockMap();
    return ARV_IS_GC_SELECTOR(mNode) && arv_gc_selector_is_selector(ARV_GC_SELECTOR(mNode));
}

void AravisNode::GetSelectedFeatures(FeatureList_t& features) const {
    features.clear();
    for (AravisNode* node : mMap.SelectedNodes(*this)) {
        if (IValue* value = As<IValue>(node)) {
            features.push_back(value);
        }
    }
}

void AravisNode::GetSelectingFeatures(FeatureList_t& features) const {
    features.clear();
    for (AravisNode* node : mMap.SelectingNodes(*this)) {
        if (IValue* value = As<IValue>(node)) {
            features.push_back(value);
        }
    }
}

void AravisNode::CheckReadable() const {
    mMap.ThrowIfLost(Context());
    if (!IsReadable(GetAccessMode())) {
        throw AccessException("Node is not readable : Node = '" + mName + "'", __FILE__, __LINE__);
    }
}

void AravisNode::CheckWritable() const {
    mMap.ThrowIfLost(Context());
    if (!IsWritable(GetAccessMode())) {
        throw AccessException("Node is not writable : Node = '" + mName + "'", __FILE__, __LINE__);
    }
}

// ---------------------------------------------------------------------------------------------
// AravisInteger

AravisInteger::AravisInteger(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIInteger) {}

gcstring AravisInteger::ToString(bool verify, bool ignoreCache) const {
    return nodetext::FormatInteger(GetValue(verify, ignoreCache), GetRepresentation());
}

void AravisInteger::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseInteger(text.str(), GetName().str()), verify);
}

int64_t AravisInteger::GetValue(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const int64_t value = arv_gc_integer_get_value(ARV_GC_INTEGER(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

void AravisInteger::SetValue(int64_t value, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    if (verify) {
        const int64_t min = GetMin();
        const int64_t max = GetMax();
        const int64_t inc = GetInc();
        const std::string name = GetName().str();
        if (value < min) {
            throw OutOfRangeException("Value = " + std::to_string(value) +
                                          " must be equal or greater than Min = " +
                                          std::to_string(min) + " : Node = '" + name + "'",
                                      __FILE__, __LINE__);
        }
        if (value > max) {
            throw OutOfRangeException("Value = " + std::to_string(value) +
                                          " must be equal or smaller than Max = " +
                                          std::to_string(max) + " : Node = '" + name + "'",
                                      __FILE__, __LINE__);
        }
        if (inc > 1 && (value - min) % inc != 0) {
            throw OutOfRangeException(
                "Value = " + std::to_string(value) +
                    " must be equal to Min + N * Inc, Min = " + std::to_string(min) +
                    ", Inc = " + std::to_string(inc) + " : Node = '" + name + "'",
                __FILE__, __LINE__);
        }
    }
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), IsSelector());
        arv_gc_integer_set_value(ARV_GC_INTEGER(Arv()), value, &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        GetValue(false, false);  // the written registers are read from the device
    }
}

int64_t AravisInteger::GetMin() const {
    Lock lock = LockMap();
    Map().ThrowIfLost(Context());
    if (Map().HasUnreliableBounds(*this)) {
        return std::numeric_limits<int64_t>::min();
    }
    GError* error = nullptr;
    const int64_t min = arv_gc_integer_get_min(ARV_GC_INTEGER(Arv()), &error);
    if (IsMissingBound(error)) {
        g_clear_error(&error);
        return std::numeric_limits<int64_t>::min();
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    return min;
}

int64_t AravisInteger::GetMax() const {
    Lock lock = LockMap();
    Map().ThrowIfLost(Context());
    if (Map().HasUnreliableBounds(*this)) {
        return std::numeric_limits<int64_t>::max();
    }
    GError* error = nullptr;
    const int64_t max = arv_gc_integer_get_max(ARV_GC_INTEGER(Arv()), &error);
    if (IsMissingBound(error)) {
        g_clear_error(&error);
        return std::numeric_limits<int64_t>::max();
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    return max;
}

int64_t AravisInteger::GetInc() const {
    Lock lock = LockMap();
    GError* error = nullptr;
    const int64_t inc = arv_gc_integer_get_inc(ARV_GC_INTEGER(Arv()), &error);
    if (error) {
        // Some integer kinds (a converter, a swiss knife) have no increment: they step by one.
        g_clear_error(&error);
        return 1;
    }
    return inc > 0 ? inc : 1;
}

ERepresentation AravisInteger::GetRepresentation() const {
    Lock lock = LockMap();
    return FromArv(arv_gc_integer_get_representation(ARV_GC_INTEGER(Arv())));
}

gcstring AravisInteger::GetUnit() const {
    Lock lock = LockMap();
    return Text(arv_gc_integer_get_unit(ARV_GC_INTEGER(Arv())));
}

// ---------------------------------------------------------------------------------------------
// AravisFloat

AravisFloat::AravisFloat(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name)
    : AravisNode(map, node, std::move(name), intfIFloat) {}

gcstring AravisFloat::ToString(bool verify, bool ignoreCache) const {
    return nodetext::FormatFloat(GetValue(verify, ignoreCache));
}

void AravisFloat::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseFloat(text.str(), GetName().str()), verify);
}

double AravisFloat::GetValue(bool, bool ignoreCache) const {
    Lock lock = LockMap();
    CheckReadable();
    AravisCacheBypass bypass(Map().Cache(), ignoreCache);
    GError* error = nullptr;
    const double value = arv_gc_float_get_value(ARV_GC_FLOAT(Arv()), &error);
    Map().Check(error, Context(), __FILE__, __LINE__);
    return value;
}

void AravisFloat::SetValue(double value, bool verify) {
    Lock lock = LockMap();
    CheckWritable();
    if (verify) {
        const double min = GetMin();
        const double max = GetMax();
        if (!(value >= min && value <= max)) {
            throw OutOfRangeException("Value = " + nodetext::FormatFloat(value) +
                                          " must be within [" + nodetext::FormatFloat(min) + ", " +
                                          nodetext::FormatFloat(max) + "] : Node = '" +
                                          GetName().str() + "'",
                                      __FILE__, __LINE__);
        }
    }
    GError* error = nullptr;
    {
        AravisWrite write(Map(), Arv(), false);
        arv_gc_float_set_value(ARV_GC_FLOAT(Arv()), value, &error);
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    if (verify) {
        GetValue(false, false);  // the written registers are read from the device
    }
}

double AravisFloat::GetMin() const {
    Lock lock = LockMap();
    Map().ThrowIfLost(Context());
    if (Map().HasUnreliableBounds(*this)) {
        return -DBL_MAX;
    }
    GError* error = nullptr;
    const double min = arv_gc_float_get_min(ARV_GC_FLOAT(Arv()), &error);
    if (IsMissingBound(error)) {
        g_clear_error(&error);
        return -DBL_MAX;
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    return min;
}

double AravisFloat::GetMax() const {
    Lock lock = LockMap();
    Map().ThrowIfLost(Context());
    if (Map().HasUnreliableBounds(*this)) {
        return DBL_MAX;
    }
    GError* error = nullptr;
    const double max = arv_gc_float_get_max(ARV_GC_FLOAT(Arv()), &error);
    if (IsMissingBound(error)) {
        g_clear_error(&error);
        return DBL_MAX;
    }
    Map().Check(error, Context(), __FILE__, __LINE__);
    return max;
}

bool AravisFloat::HasInc() const {
    Lock lock = LockMap();
    GError* error = nullptr;
    const double inc = arv_gc_float_get_inc(ARV_GC_FLOAT(Arv()), &error);
    if (error) {
        g_clear_error(&error);
        return false;
    }
    return inc > std::numeric_limits<double>::min() && inc < std::numeric_limits<double>::max();
}

double AravisFloat::GetInc() const {
    if (!HasInc()) {
        return 0.0;
    }
    Lock lock = LockMap();
    return arv_gc_float_get_inc(ARV_GC_FLOAT(Arv()), nullptr);
}

ERepresentation AravisFloat::GetRepresentation() const {
    Lock lock = LockMap();
    return FromArv(arv_gc_float_get_representation(ARV_GC_FLOAT(Arv())));
}

gcstring AravisFloat::GetUnit() const {
    Lock lock = LockMap();
    return Text(arv_gc_float_get_unit(ARV_GC_FLOAT(Arv())));
}

}  // namespace sdk
