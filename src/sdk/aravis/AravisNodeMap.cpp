#include "sdk/aravis/AravisNodeMap.h"

#include "sdk/GenericException.h"
#include "sdk/aravis/AravisNodes.h"

namespace sdk {

using aravis::Text;

AravisCacheBypass::AravisCacheBypass(ArvGc* genicam, bool bypass) : mGc(genicam), mActive(bypass) {
    if (mActive) {
        mPrevious = arv_gc_get_register_cache_policy(mGc);
        arv_gc_set_register_cache_policy(mGc, ARV_REGISTER_CACHE_POLICY_DISABLE);
    }
}

AravisCacheBypass::~AravisCacheBypass() {
    if (mActive) {
        arv_gc_set_register_cache_policy(mGc, mPrevious);
    }
}

AravisNodeMap::AravisNodeMap(ArvDevice* device, gcstring deviceName)
    : mDevice(ARV_DEVICE(g_object_ref(device))),
      mGc(arv_device_get_genicam(device)),
      mDeviceName(std::move(deviceName)) {
    if (!mGc) {
        throw RuntimeException("The device '" + mDeviceName.str() + "' has no GenICam description",
                               __FILE__, __LINE__);
    }
    arv_gc_set_register_cache_policy(mGc, ARV_REGISTER_CACHE_POLICY_ENABLE);
    arv_gc_set_range_check_policy(mGc, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_gc_set_access_check_policy(mGc, ARV_ACCESS_CHECK_POLICY_ENABLE);
    Build(ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))));
    BuildSelectorIndex();
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
            for (const GSList* item = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(child));
                 item; item = item->next) {
                if (!ARV_IS_GC_ENUM_ENTRY(item->data)) {
                    continue;
                }
                ArvGcFeatureNode* entryNode = ARV_GC_FEATURE_NODE(item->data);
                const std::string symbolic = Text(arv_gc_feature_node_get_name(entryNode));
                const std::string entryName = "EnumEntry_" + name + "_" + symbolic;
                auto entry = std::make_unique<AravisEnumEntry>(*this, entryNode, entryName, symbolic);
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

// Aravis knows what a selector selects; the reverse relation is gathered once here.
void AravisNodeMap::BuildSelectorIndex() {
    for (const auto& node : mNodes) {
        ArvGcFeatureNode* arv = node->Arv();
        if (!ARV_IS_GC_SELECTOR(arv) || !arv_gc_selector_is_selector(ARV_GC_SELECTOR(arv))) {
            continue;
        }
        for (const GSList* item = arv_gc_selector_get_selected_features(ARV_GC_SELECTOR(arv)); item;
             item = item->next) {
            if (AravisNode* selected = Find(static_cast<ArvGcNode*>(item->data))) {
                mSelecting[selected].push_back(node.get());
            }
        }
    }
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
    ++mGeneration;
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
