#include "sdk/nodes/MemoryNodeMap.h"

#include "sdk/genapi/ICommand.h"
#include "sdk/genapi/IEnumEntry.h"
#include "sdk/genapi/IEnumeration.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

MemoryNodeMap::MemoryNodeMap(gcstring deviceName) : mDeviceName(std::move(deviceName)) {}

MemoryNodeMap::~MemoryNodeMap() = default;

INode* MemoryNodeMap::GetNode(const gcstring& name) const {
    return FindMemoryNode(name);
}

MemoryNode* MemoryNodeMap::FindMemoryNode(const gcstring& name) const {
    const auto it = mByName.find(name);
    return it == mByName.end() ? nullptr : it->second;
}

void MemoryNodeMap::GetNodes(NodeList_t& nodes) const {
    nodes.clear();
    nodes.reserve(mNodes.size());
    for (const auto& node : mNodes) {
        nodes.push_back(node.get());
    }
}

void MemoryNodeMap::Adopt(std::unique_ptr<MemoryNode> node) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    const gcstring name = node->GetName();
    if (!mByName.emplace(name, node.get()).second) {
        throw LogicalErrorException("Node '" + name.str() + "' defined twice", __FILE__, __LINE__);
    }
    mNodes.push_back(std::move(node));
}

bool MemoryNodeMap::ApplyInitialValue(const gcstring& feature, const gcstring& selectorEntry,
                                      const gcstring& text) {
    std::string why;
    return ApplyInitialValue(feature, selectorEntry, text, why);
}

bool MemoryNodeMap::ApplyInitialValue(const gcstring& feature, const gcstring& selectorEntry,
                                      const gcstring& text, std::string& why) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    MemoryNode* node = FindMemoryNode(feature);
    if (!node) {
        why = "unknown feature";
        return false;
    }
    if (dynamic_cast<ICommand*>(node)) {
        why = "a command has no value";
        return false;
    }
    if (!IsImplemented(node->GetAccessMode())) {
        why = "feature not offered by this camera";
        return false;
    }
    // An enumeration entry the camera knows but this sensor does not offer.
    if (auto* enumeration = dynamic_cast<IEnumeration*>(node)) {
        const IEnumEntry* entry = enumeration->GetEntryByName(text);
        if (entry && !IsAvailable(dynamic_cast<const IBase*>(entry))) {
            why = "entry not offered by this sensor";
            return false;
        }
    }
    // Find the selector that offers the entry and put it there for the write.
    IEnumeration* selector = nullptr;
    int64_t previous = 0;
    if (!selectorEntry.empty()) {
        for (IValue* value : node->GetSelectingFeatures()) {
            auto* candidate = dynamic_cast<IEnumeration*>(value);
            if (candidate && candidate->GetEntryByName(selectorEntry)) {
                selector = candidate;
                break;
            }
        }
        if (!selector) {
            why = "unknown selector entry";
            return false;
        }
        if (!IsAvailable(dynamic_cast<const IBase*>(selector->GetEntryByName(selectorEntry)))) {
            why = "selector entry not offered by this camera";
            return false;
        }
    }
    bool ok = true;
    mBypassAccess = true;
    try {
        if (selector) {
            previous = selector->GetIntValue();
            selector->SetIntValue(selector->GetEntryByName(selectorEntry)->GetValue());
        }
        node->FromString(text);
    } catch (const GenericException& e) {
        why = std::string("value not accepted: ") + e.GetDescription();
        ok = false;
    }
    try {
        if (selector) {
            selector->SetIntValue(previous);
        }
    } catch (const GenericException&) {
    }
    mBypassAccess = false;
    return ok;
}

}  // namespace sdk
