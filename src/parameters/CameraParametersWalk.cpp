// CameraParameters: building the set from a camera's feature tree, with the expansion of the
// selected features into one parameter per selector entry.

#include "parameters/CameraParameters.h"

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <boost/format.hpp>

#include "base/ExceptionGuard.h"
#include "parameters/CameraParametersShared.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/NodeMapSnapshot.h"

using namespace camera_parameters;

namespace {

template <size_t N>
bool InTable(const std::array<std::string_view, N>& table, const std::string& name) {
    for (const std::string_view entry : table) {
        if (entry == name) {
            return true;
        }
    }
    return false;
}

// While it lives, a selector entry (when given) stands around the selectors expanded inside it.
class OuterSelectorScope {
  public:
    using Chain = std::vector<std::pair<std::string, sdk::IEnumEntry*>>;
    OuterSelectorScope(Chain& chain, const std::string& selectorName, sdk::IEnumEntry* entry)
        : mChain(entry != nullptr ? &chain : nullptr) {
        if (mChain != nullptr) {
            mChain->push_back({selectorName, entry});
        }
    }
    ~OuterSelectorScope() {
        if (mChain != nullptr) {
            mChain->pop_back();
        }
    }
    OuterSelectorScope(const OuterSelectorScope&) = delete;
    OuterSelectorScope& operator=(const OuterSelectorScope&) = delete;

  private:
    Chain* mChain;
};

}  // namespace

// --- Parameters from the feature tree -----------------------------------------------------------

void CameraParameters::CreateFromNodes(sdk::INodeMap& nodeMap) {
    const int port = GetCameraPort();
    Trace(port, "CameraParameters::CreateFromNodes", [] { return "CreateFromNodes beginning"; });
    auto* root = sdk::As<sdk::ICategory>(nodeMap.GetNode("Root"));
    if (root == nullptr) {
        throw std::runtime_error("CameraParameters::CreateFromNodes: Failed to get root node");
    }
    const sdk::NodeMapSnapshot snapshot(nodeMap);
    for (sdk::IValue* feature : root->GetFeatures()) {
        // Only categories are walked; plain features directly under the root are ignored.
        if (auto* category = sdk::As<sdk::ICategory>(feature)) {
            CreateFromCategory(category);
        }
    }
}

void CameraParameters::CreateFromCategory(sdk::ICategory* category) {
    static const char* const kWhere = "CameraParameters::CreateFromCategory";
    if (category == nullptr) {
        throw std::runtime_error(
            "CameraParameters::CreateParametersFromCategory: parameter == null");
    }
    const int port = GetCameraPort();
    const std::string name = category->GetNode()->GetName().str();
    Trace(port, kWhere, [&] { return "* Create from category: " + name; });
    if (InTable(IgnoredCategories, name)) {
        Trace(port, kWhere, [&] { return "Ignored category: " + name; });
        return;
    }
    CreateFromFeatures(name, category->GetFeatures(), std::string(), nullptr);
    Trace(port, kWhere, [&] { return "* Create from category: " + name + " ended"; });
}

void CameraParameters::CreateFromFeatures(const std::string& categoryName,
                                          const sdk::FeatureList_t& features,
                                          const std::string& selectorName, sdk::IEnumEntry* entry) {
    static const char* const kWhere = "CameraParameters::CreateFromFeatures";
    const int port = GetCameraPort();
    const bool chunkCategory = NoCaseLess::EqualNoCase(categoryName, "ChunkData");
    Trace(port, kWhere, [&] { return "CreateFromFeatures: " + selectorName + " begins"; });
    for (sdk::IValue* feature : features) {
        sdk::INode* node = feature != nullptr ? feature->GetNode() : nullptr;
        if (node == nullptr) {
            Trace(port, kWhere,
                  [&] { return "CreateFromFeatures " + selectorName + " skips non-node"; });
            continue;
        }
        const std::string name = SelectedName(entry, node->GetName().str());
        if (InTable(IgnoredFeatures, name)) {
            Trace(port, kWhere, [&] {
                return "CreateFromFeatures " + selectorName +
                       " skips ignored property(node): " + name;
            });
            continue;
        }
        // Checked before the node is looked at, so a second walk creates nothing known.
        if (Contains(name)) {
            Trace(port, kWhere, [&] {
                return "CreateFromFeatures " + selectorName +
                       " skips ignored node already included in the list: " + name;
            });
            continue;
        }
        std::unique_ptr<Param_> parameter =
            CreateParamFromNode(categoryName, node, selectorName, entry);
        if (parameter) {
            if (InTable(VolatileFeatures, name)) {
                parameter->mVolatile = true;
            }
            if (chunkCategory) {
                parameter->mChunk = true;
            }
            AddParameter_(std::move(parameter));
        }
    }
    Trace(port, kWhere, [&] { return "CreateFromFeatures: " + selectorName + " ends"; });
}

std::unique_ptr<Param_> CameraParameters::CreateParamFromNode(const std::string& categoryName,
                                                              sdk::INode* node,
                                                              const std::string& selectorName,
                                                              sdk::IEnumEntry* entry) {
    static const char* const kWhere = "CameraParameters::CreateParamFromNode";
    const int port = GetCameraPort();
    if (node == nullptr) {
        return nullptr;
    }
    std::string nodeName;
    try {
        nodeName = node->GetName().str();
        const sdk::EAccessMode mode = node->GetAccessMode();
        if (mode == sdk::NI) {
            Trace(port, kWhere, [&] {
                return "CreateParamFromNode: Skipping node " + nodeName +
                       " with access mode NotImplemented";
            });
            return nullptr;
        }
        // A selected feature exists only per selector entry, created through its selector.
        if (entry == nullptr && !node->GetSelectingFeatures().empty()) {
            Trace(port, kWhere,
                  [&] { return "CreateParamFromNode: Skipping selector node " + nodeName; });
            return nullptr;
        }
        const std::string name = SelectedName(entry, nodeName);

        const bool readable = sdk::IsReadable(mode);
        std::unique_ptr<Param_> parameter;
        if (auto* integer = sdk::As<sdk::IInteger>(node)) {
            auto typed = readable ? std::make_unique<Param<int64_t>>(
                                        categoryName, name, integer->GetValue(false, false),
                                        integer->GetMin(), integer->GetMax(), integer->GetInc())
                                  : std::make_unique<Param<int64_t>>(categoryName, name, 0);
            if (integer->GetRepresentation() == sdk::HexNumber) {
                typed->SetOption("Format", "%X");
            }
            parameter = std::move(typed);
        } else if (auto* boolean = sdk::As<sdk::IBoolean>(node)) {
            parameter = std::make_unique<Param<bool>>(
                categoryName, name, readable ? boolean->GetValue(false, false) : false);
        } else if (auto* real = sdk::As<sdk::IFloat>(node)) {
            auto typed = readable ? std::make_unique<Param<double>>(
                                        categoryName, name, real->GetValue(false, false),
                                        real->GetMin(), real->GetMax(), 0.0)
                                  : std::make_unique<Param<double>>(categoryName, name, 0.0);
            typed->SetOption("Format", (boost::format("%%.2f %s") % real->GetUnit()).str());
            parameter = std::move(typed);
        } else if (auto* text = sdk::As<sdk::IString>(node)) {
            parameter = std::make_unique<Param<std::string>>(
                categoryName, name, readable ? text->GetValue(false, false).str() : std::string());
        } else if (sdk::As<sdk::IRegister>(node) != nullptr) {
            parameter = std::make_unique<Param<std::string>>(categoryName, name, std::string());
        } else if (auto* enumeration = sdk::As<sdk::IEnumeration>(node)) {
            if (node->IsSelector()) {
                // A selector reached through another one's entry is expanded within that entry:
                // its parameters carry both entries.
                OuterSelectorScope outer(mOuterSelectors, selectorName, entry);
                ExpandSelector(categoryName, node, *enumeration);
                return nullptr;
            }
            auto typed = std::make_unique<ParamEnum>(
                categoryName, name, readable ? node->ToString(false, false).str() : std::string());
            for (sdk::INode* entryNode : enumeration->GetEntries()) {
                auto* option = sdk::As<sdk::IEnumEntry>(entryNode);
                if (option != nullptr && sdk::IsReadable(entryNode)) {
                    typed->AddEntry(option->GetSymbolic().c_str(), option->GetValue());
                }
            }
            if (readable) {
                typed->SetIntValue(enumeration->GetIntValue(false, false));
            }
            parameter = std::move(typed);
        } else if (sdk::As<sdk::IEnumEntry>(node) != nullptr) {
            Trace(port, kWhere, [&] { return "Skipping IEnumEntry node " + name; });
            return nullptr;
        } else if (sdk::As<sdk::ICommand>(node) != nullptr) {
            Trace(port, kWhere, [&] { return "Skipping ICommand node " + name; });
            return nullptr;
        } else if (auto* category = sdk::As<sdk::ICategory>(node)) {
            CreateFromCategory(category);
            return nullptr;
        } else {
            Error(port, kWhere, [&] {
                return "Skipping " + nodeName + " due to unsupported type:" +
                       std::to_string(static_cast<int>(node->GetPrincipalInterfaceType()));
            });
            return nullptr;
        }

        parameter->SetOption("NodeName", node->GetName());
        parameter->SetOption("DisplayName", node->GetDisplayName());
        parameter->mDescription = node->GetDescription().str();
        parameter->mWritable = IsReadWrite(mode);
        if (entry != nullptr) {
            parameter->SetOption("SelectorName", selectorName);
            parameter->SetOption("SelectorValue", entry->GetValue());
            // The selectors around this one, outermost first, each with its entry.
            if (!mOuterSelectors.empty()) {
                parameter->SetOption(kOuterSelectors, mOuterSelectors.size());
                for (size_t i = 0; i < mOuterSelectors.size(); ++i) {
                    parameter->SetOption(kOuterSelectorName + std::to_string(i),
                                         mOuterSelectors[i].first);
                    parameter->SetOption(kOuterSelectorValue + std::to_string(i),
                                         mOuterSelectors[i].second->GetValue());
                }
            }
        }
        Trace(port, kWhere, [&] {
            return "CreateParamFromNode OK: " + parameter->mName +
                   ", value=" + parameter->GetValueText();
        });
        return parameter;
    } catch (...) {
        LogCurrentException(port, "CreateParamFromNode", kWhere);
        Error(port, kWhere,
              [&] { return "CreateParamFromNode: Parameter '" + nodeName + "' not created"; });
    }
    return nullptr;
}

void CameraParameters::ExpandSelector(const std::string& categoryName, sdk::INode* selector,
                                      sdk::IEnumeration& enumeration) {
    static const char* const kWhere = "CameraParameters::ExpandSelector";
    const int port = GetCameraPort();
    const std::string selectorName = selector->GetName().str();
    // A feature that an enumeration selected here selects too is reached through that
    // enumeration's expansion, so that its parameters carry the entries of both. (A number that
    // selects, an index say, is a parameter of its own and expands nothing.)
    const sdk::FeatureList_t selected = selector->GetSelectedFeatures();
    std::set<sdk::INode*> nested;
    for (sdk::IValue* feature : selected) {
        sdk::INode* inner = feature != nullptr ? feature->GetNode() : nullptr;
        if (inner == nullptr || inner == selector || !inner->IsSelector() ||
            sdk::As<sdk::IEnumeration>(inner) == nullptr) {
            continue;
        }
        for (sdk::IValue* innerFeature : inner->GetSelectedFeatures()) {
            if (innerFeature != nullptr && innerFeature->GetNode() != nullptr) {
                nested.insert(innerFeature->GetNode());
            }
        }
    }
    sdk::FeatureList_t features;
    for (sdk::IValue* feature : selected) {
        if (feature != nullptr && nested.count(feature->GetNode()) != 0) {
            Trace(port, kWhere, [&] {
                return "ExpandSelector: " + selectorName + " reaches " +
                       feature->GetNode()->GetName().str() + " through a selector it selects";
            });
            continue;
        }
        features.push_back(feature);
    }
    // A selector that cannot be moved has only the entry it stands at.
    const bool writable = sdk::IsWritable(selector);
    const bool fixed = !writable && sdk::IsReadable(selector);
    const int64_t current = fixed ? enumeration.GetIntValue(false, false) : 0;
    for (sdk::INode* entryNode : enumeration.GetEntries()) {
        auto* entry = sdk::As<sdk::IEnumEntry>(entryNode);
        if (entry == nullptr || !sdk::IsReadable(entryNode)) {
            continue;  // not available: no expansion step
        }
        if (fixed && entry->GetValue() != current) {
            continue;
        }
        if (writable) {
            enumeration.SetIntValue(entry->GetValue(), true);
        }
        CreateFromFeatures(categoryName, features, selectorName, entry);
    }
}

std::string CameraParameters::SelectedName(sdk::IEnumEntry* entry,
                                           const std::string& nodeName) const {
    if (entry == nullptr) {
        return nodeName;
    }
    std::string name;
    for (const auto& outer : mOuterSelectors) {
        name += outer.second->GetSymbolic().str() + "_";
    }
    return name + (boost::format("%s_%s") % entry->GetSymbolic() % nodeName).str();
}
