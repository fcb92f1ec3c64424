#include "sdk/aravis/AravisNodeMap.h"

#include <algorithm>

#include "sdk/aravis/AravisCachingDevice.h"
#include "sdk/aravis/AravisNodes.h"
#include "sdk/genapi/GenericException.h"

namespace sdk {

using aravis::HasProperty;
using aravis::Linked;
using aravis::PropertyText;
using aravis::Text;

AravisCacheBypass::AravisCacheBypass(AravisRegisterCache& cache, bool bypass)
    : mCache(cache), mPrevious(cache.Bypass()) {
    mCache.SetBypass(mPrevious || bypass);
}

AravisCacheBypass::~AravisCacheBypass() {
    mCache.SetBypass(mPrevious);
}

AravisWrite::AravisWrite(AravisNodeMap& map, ArvGcFeatureNode* node, bool selector)
    : mMap(map), mNode(node), mPrevious(map.Cache().SelectorMove()) {
    mMap.Cache().SetSelectorMove(selector);
}

AravisWrite::~AravisWrite() {
    AravisRegisterCache& cache = mMap.Cache();
    cache.SetSelectorMove(mPrevious);
    cache.NoteNodeWrite(ARV_GC_NODE(mNode));
    mMap.MarkTouched(cache.TakeTouched());
}

AravisNodeMap::AravisNodeMap(ArvDevice* device, gcstring deviceName)
    : mDevice(ARV_DEVICE(g_object_ref(device))), mDeviceName(std::move(deviceName)) {
    GError* error = nullptr;
    mCaching.Reset(AravisCachingDevice::Create(device, mCache, &error));
    g_clear_error(&error);
    mGc = mCaching ? AravisCachingDevice::Genicam(mCaching.Get()) : nullptr;
    if (!mGc) {
        throw RuntimeException("The device '" + mDeviceName.str() + "' has no GenICam description",
                               __FILE__, __LINE__);
    }
    // Ranges are checked by the node classes against the bounds GetMin and GetMax give; Aravis'
    // own check would also apply the derived bounds of the converters inside a feature, which a
    // formula that is not monotonic turns into nonsense (a maximum of 0 for entry 1, say).
    arv_gc_set_range_check_policy(mGc, ARV_RANGE_CHECK_POLICY_DISABLE);
    arv_gc_set_access_check_policy(mGc, ARV_ACCESS_CHECK_POLICY_ENABLE);
    Build(ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))));
    BuildSelectorIndex();
    BuildConditionIndex();
    mCache.Learn(mGc);
}

// What each node's implementation, availability and lock are read from, all the way down.
void AravisNodeMap::BuildConditionIndex() {
    const std::initializer_list<ArvGcPropertyNodeType> conditions = {
        ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED, ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE,
        ARV_GC_PROPERTY_NODE_TYPE_P_IS_LOCKED};
    const std::initializer_list<ArvGcPropertyNodeType> reads = {
        ARV_GC_PROPERTY_NODE_TYPE_P_VALUE,        ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE,
        ARV_GC_PROPERTY_NODE_TYPE_P_ADDRESS,      ARV_GC_PROPERTY_NODE_TYPE_P_INDEX,
        ARV_GC_PROPERTY_NODE_TYPE_P_LENGTH,       ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED,
        ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE, ARV_GC_PROPERTY_NODE_TYPE_P_IS_LOCKED};
    for (const auto& node : mNodes) {
        std::unordered_set<ArvGcNode*> seen;
        std::vector<ArvGcNode*> pending = Linked(ARV_DOM_NODE(node->Arv()), conditions);
        while (!pending.empty()) {
            ArvGcNode* item = pending.back();
            pending.pop_back();
            if (!item || !seen.insert(item).second) {
                continue;
            }
            mConditionUsers[item].push_back(node.get());
            for (ArvGcNode* next : Linked(ARV_DOM_NODE(item), reads)) {
                pending.push_back(next);
            }
            if (ARV_IS_GC_STRUCT_ENTRY_NODE(item)) {
                ArvDomNode* parent = arv_dom_node_get_parent_node(ARV_DOM_NODE(item));
                for (ArvGcNode* next : Linked(parent, reads)) {
                    pending.push_back(next);
                }
            }
        }
    }
}

void AravisNodeMap::MarkTouched(const std::vector<ArvGcNode*>& touched) const {
    for (ArvGcNode* node : touched) {
        const auto users = mConditionUsers.find(node);
        if (users == mConditionUsers.end()) {
            continue;
        }
        for (AravisNode* user : users->second) {
            user->MarkAccessStale();
        }
    }
}

AravisNodeMap::~AravisNodeMap() = default;

void AravisNodeMap::Adopt(std::unique_ptr<AravisNode> node, const std::string& name) {
    if (name.empty() || mByName.count(name)) {
        return;  // unnamed, or a second definition Aravis does not use either
    }
    mByName[name] = node.get();
    mByArv[ARV_GC_NODE(node->Arv())] = node.get();
    mNodes.push_back(std::move(node));
}

// Wraps the feature nodes below parent (groups are looked into) in document order.
void AravisNodeMap::Build(ArvDomNode* parent) {
    if (!parent) {
        return;
    }
    for (ArvDomNode* child = arv_dom_node_get_first_child(parent); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_GROUP_NODE(child)) {
            Build(child);
            continue;
        }
        if (!ARV_IS_GC_FEATURE_NODE(child) || ARV_IS_GC_ENUM_ENTRY(child)) {
            continue;
        }
        ArvGcFeatureNode* node = ARV_GC_FEATURE_NODE(child);
        const std::string name = Text(arv_gc_feature_node_get_name(node));
        if (ARV_IS_GC_ENUMERATION(child)) {
            auto enumeration = std::make_unique<AravisEnumeration>(*this, node, name);
            AravisEnumeration* owner = enumeration.get();
            Adopt(std::move(enumeration), name);
            if (mByName[name] != owner) {
                continue;
            }
            // The entries are the enumeration's children; Aravis' own list is in reverse.
            for (ArvDomNode* item = arv_dom_node_get_first_child(child); item;
                 item = arv_dom_node_get_next_sibling(item)) {
                if (!ARV_IS_GC_ENUM_ENTRY(item)) {
                    continue;
                }
                ArvGcFeatureNode* entryNode = ARV_GC_FEATURE_NODE(item);
                const std::string symbolic = Text(arv_gc_feature_node_get_name(entryNode));
                const std::string entryName = "EnumEntry_" + name + "_" + symbolic;
                auto entry =
                    std::make_unique<AravisEnumEntry>(*this, entryNode, entryName, symbolic);
                AravisEnumEntry* raw = entry.get();
                Adopt(std::move(entry), entryName);
                if (mByName[entryName] == raw) {
                    owner->AddEntry(raw);
                }
            }
        } else if (ARV_IS_GC_CATEGORY(child)) {
            Adopt(std::make_unique<AravisCategory>(*this, node, name), name);
        } else if (ARV_IS_GC_COMMAND(child)) {
            Adopt(std::make_unique<AravisCommand>(*this, node, name), name);
        } else if (ARV_IS_GC_BOOLEAN(child)) {
            Adopt(std::make_unique<AravisBoolean>(*this, node, name), name);
        } else if (ARV_IS_GC_INTEGER(child)) {
            Adopt(std::make_unique<AravisInteger>(*this, node, name), name);
        } else if (ARV_IS_GC_FLOAT(child)) {
            Adopt(std::make_unique<AravisFloat>(*this, node, name), name);
        } else if (ARV_IS_GC_STRING(child)) {
            Adopt(std::make_unique<AravisString>(*this, node, name), name);
        } else if (ARV_IS_GC_REGISTER(child)) {
            Adopt(std::make_unique<AravisRegister>(*this, node, name), name);
        } else {
            const EInterfaceType type = ARV_IS_GC_PORT(child) ? intfIPort : intfIValue;
            Adopt(std::make_unique<AravisOtherNode>(*this, node, name, type), name);
        }
    }
}

// What a selector selects (its pSelected properties, in document order; Aravis' own list is in
// reverse), the reverse relation, and each feature's binding are gathered once here. A selector
// that lists the hidden register (or converter) behind a feature selects that feature: the
// register of another selector is that selector's own state, which a host moves through the
// selector, never by writing its register.
void AravisNodeMap::BuildSelectorIndex() {
    std::unordered_map<ArvGcNode*, std::vector<ArvGcNode*>> owners;  // pValue target -> nodes
    for (const auto& node : mNodes) {
        for (ArvGcNode* value :
             Linked(ARV_DOM_NODE(node->Arv()), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE})) {
            owners[value].push_back(ARV_GC_NODE(node->Arv()));
        }
    }
    // The feature a hidden node stands behind, following converters up; the node itself when it
    // is no hidden node or stands behind no single feature.
    const auto feature = [&](ArvGcNode* item) {
        for (int depth = 0; depth < 4; ++depth) {
            const bool hidden = ARV_IS_GC_REGISTER(item) || ARV_IS_GC_CONVERTER(item);
            const auto owner = owners.find(item);
            if (!hidden || owner == owners.end() || owner->second.size() != 1) {
                break;
            }
            item = owner->second.front();
        }
        return item;
    };
    for (const auto& node : mNodes) {
        ArvGcFeatureNode* arv = node->Arv();
        const Binding binding = FindBinding(ARV_GC_NODE(arv), 0);
        if (binding != Binding::Device) {
            mBindings[node.get()] = binding;
        }
        if (ARV_IS_GC_INTEGER(arv) || ARV_IS_GC_FLOAT(arv)) {
            if (HasVaryingBound(ARV_GC_NODE(arv), 0)) {
                mVaryingBounds.insert(node.get());
            }
        }
        if (!ARV_IS_GC_SELECTOR(arv) || !arv_gc_selector_is_selector(ARV_GC_SELECTOR(arv))) {
            continue;
        }
        std::vector<AravisNode*>& list = mSelected[node.get()];
        for (ArvGcNode* item : Linked(ARV_DOM_NODE(arv), {ARV_GC_PROPERTY_NODE_TYPE_P_SELECTED})) {
            AravisNode* selected = Find(feature(item));
            if (selected && selected != node.get() &&
                std::find(list.begin(), list.end(), selected) == list.end()) {
                list.push_back(selected);
                mSelecting[selected].push_back(node.get());
            }
        }
    }
    mBindingCache.clear();
}

// GenICam declares whether a converter's formula rises or falls with its input (Slope); only
// then do the bounds of the value below it give the converter's bounds. A number whose own
// bounds are missing and whose value goes through a converter of another slope has none.
bool AravisNodeMap::HasVaryingBound(ArvGcNode* node, int depth) const {
    if (!node || depth > 8) {
        return false;
    }
    ArvDomNode* dom = ARV_DOM_NODE(node);
    const bool min = HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_MINIMUM) ||
                     HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_P_MINIMUM);
    const bool max = HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_MAXIMUM) ||
                     HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_P_MAXIMUM);
    if (min && max) {
        return false;
    }
    if (ARV_IS_GC_CONVERTER(node)) {
        const std::string slope = PropertyText(dom, ARV_GC_PROPERTY_NODE_TYPE_SLOPE);
        if (slope != "Increasing" && slope != "Decreasing") {
            return true;
        }
    }
    for (ArvGcNode* value : Linked(dom, {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE})) {
        if (HasVaryingBound(value, depth + 1)) {
            return true;
        }
    }
    return false;
}

bool AravisNodeMap::HasUnreliableBounds(const AravisNode& node) const {
    return mVaryingBounds.count(&node) != 0;
}

// Follows the links that give a node its value and bounds (pValue, pVariable, pMin, pMax, the
// register's port, address, index and length, a struct entry's register) to the ports they end
// at.
AravisNodeMap::Binding AravisNodeMap::FindBinding(ArvGcNode* node, int depth) {
    if (!node || depth > 16) {
        return Binding::Device;
    }
    const auto known = mBindingCache.find(node);
    if (known != mBindingCache.end()) {
        return known->second;
    }
    mBindingCache[node] = Binding::Device;  // a cycle ends here
    Binding binding = Binding::Device;
    ArvDomNode* dom = ARV_DOM_NODE(node);
    if (ARV_IS_GC_PORT(node)) {
        binding = HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_CHUNK_ID)   ? Binding::Chunk
                  : HasProperty(dom, ARV_GC_PROPERTY_NODE_TYPE_EVENT_ID) ? Binding::Event
                                                                         : Binding::Device;
    } else {
        std::vector<ArvGcNode*> links =
            Linked(dom, {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE, ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE,
                         ARV_GC_PROPERTY_NODE_TYPE_P_PORT, ARV_GC_PROPERTY_NODE_TYPE_P_ADDRESS,
                         ARV_GC_PROPERTY_NODE_TYPE_P_INDEX, ARV_GC_PROPERTY_NODE_TYPE_P_LENGTH,
                         ARV_GC_PROPERTY_NODE_TYPE_P_MINIMUM, ARV_GC_PROPERTY_NODE_TYPE_P_MAXIMUM,
                         ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_INDEXED,
                         ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_DEFAULT});
        if (ARV_IS_GC_STRUCT_ENTRY_NODE(node)) {
            ArvDomNode* parent = arv_dom_node_get_parent_node(dom);
            if (parent && ARV_IS_GC_NODE(parent)) {
                links.push_back(ARV_GC_NODE(parent));
            }
        }
        for (ArvGcNode* link : links) {
            const Binding found = FindBinding(link, depth + 1);
            if (found == Binding::Chunk ||
                (found == Binding::Event && binding == Binding::Device)) {
                binding = found;
            }
        }
    }
    mBindingCache[node] = binding;
    return binding;
}

AravisNodeMap::Binding AravisNodeMap::BindingOf(const AravisNode& node) const {
    const auto it = mBindings.find(&node);
    return it == mBindings.end() ? Binding::Device : it->second;
}

const std::vector<AravisNode*>& AravisNodeMap::SelectedNodes(const AravisNode& node) const {
    static const std::vector<AravisNode*> none;
    const auto it = mSelected.find(&node);
    return it == mSelected.end() ? none : it->second;
}

void AravisNodeMap::SetLostListener(std::function<void()> listener) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mLostListener = std::move(listener);
}

void AravisNodeMap::ThrowIfLost(const std::string& context) const {
    if (IsLost()) {
        throw RuntimeException(context + ": the device is gone", __FILE__, __LINE__);
    }
}

void AravisNodeMap::NoteError(const GError* error) const {
    if (!error || error->domain != ARV_DEVICE_ERROR ||
        (error->code != ARV_DEVICE_ERROR_TIMEOUT &&
         error->code != ARV_DEVICE_ERROR_NOT_CONNECTED)) {
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mLost->exchange(true)) {
        return;
    }
    if (mLostListener) {
        mLostListener();
    }
}

void AravisNodeMap::Check(GError* error, const std::string& context, const char* file,
                          unsigned line) const {
    NoteError(error);
    aravis::Check(error, context, file, line);
}

INode* AravisNodeMap::GetNode(const gcstring& name) const {
    return Find(name.str());
}

void AravisNodeMap::GetNodes(NodeList_t& nodes) const {
    nodes.clear();
    for (const auto& node : mNodes) {
        nodes.push_back(node.get());
    }
}

void AravisNodeMap::InvalidateNodes() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mCache.Invalidate();
}

void AravisNodeMap::BeginSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mCache.BeginAsk();
}

void AravisNodeMap::EndSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mCache.EndAsk();
}

void AravisNodeMap::SetCommandListener(std::function<void(const std::string&)> listener) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mCommandListener = std::move(listener);
}

void AravisNodeMap::NotifyCommand(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mCommandListener) {
        mCommandListener(name);
    }
}

AravisNode* AravisNodeMap::Find(ArvGcNode* node) const {
    const auto it = mByArv.find(node);
    return it == mByArv.end() ? nullptr : it->second;
}

AravisNode* AravisNodeMap::Find(const std::string& name) const {
    const auto it = mByName.find(name);
    return it == mByName.end() ? nullptr : it->second;
}

const std::vector<AravisNode*>& AravisNodeMap::SelectingNodes(const AravisNode& node) const {
    static const std::vector<AravisNode*> none;
    const auto it = mSelecting.find(&node);
    return it == mSelecting.end() ? none : it->second;
}

}  // namespace sdk
