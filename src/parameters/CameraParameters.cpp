#include "parameters/CameraParameters.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <locale>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/format.hpp>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "ini/IniFile.h"
#include "ini/IniFileStore.h"
#include "parameters/IniSection.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"

namespace {

const char* const kGeneralCategory = "General";

// Options of a parameter reached through nested selectors: how many selectors stand around its
// own, and each one's name and entry value, outermost first (suffixed 0, 1, ...).
const std::string kOuterSelectors = "OuterSelectors";
const std::string kOuterSelectorName = "OuterSelectorName";
const std::string kOuterSelectorValue = "OuterSelectorValue";

const char* const kTrace = "trace: ";
const char* const kError = "ERR: ";
const char* const kInfo = "INFO: ";
const char* const kWarning = "Warning: ";

// Logs a port-form line whose text makeText() builds only when the level is enabled.
template <typename MakeText>
void LogLine(int level, int port, const char* tag, const char* where, MakeText&& makeText) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(level)) {
        state.LogPort(level, port, tag, makeText(), where);
    }
}

template <typename MakeText>
void Trace(int port, const char* where, MakeText&& makeText) {
    LogLine(3, port, kTrace, where, std::forward<MakeText>(makeText));
}

template <typename MakeText>
void Error(int port, const char* where, MakeText&& makeText) {
    LogLine(1, port, kError, where, std::forward<MakeText>(makeText));
}

template <typename MakeText>
void Info(int port, const char* where, MakeText&& makeText) {
    LogLine(1, port, kInfo, where, std::forward<MakeText>(makeText));
}

// A level-1 line as it stands: no port, tag or method.
template <typename MakeText>
void Plain(MakeText&& makeText) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(1)) {
        state.Log(1, makeText());
    }
}

template <size_t N>
bool InTable(const std::array<std::string_view, N>& table, const std::string& name) {
    for (const std::string_view entry : table) {
        if (entry == name) {
            return true;
        }
    }
    return false;
}

bool IsReadWrite(sdk::EAccessMode mode) {
    return sdk::IsReadable(mode) && sdk::IsWritable(mode);
}

// The stored "$Camera" value names this camera: with a "(" in the camera's name only the text
// before it is compared (a camera of the same model on the same port takes the section over),
// otherwise the whole names; always ignoring case.
bool CameraNameMatches(const std::string& stored, const std::string& camera) {
    const size_t open = camera.find('(');
    if (open == std::string::npos) {
        return NoCaseLess::EqualNoCase(stored, camera);
    }
    return stored.size() >= open &&
           NoCaseLess::EqualNoCase(stored.substr(0, open), camera.substr(0, open));
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

// std::exception carries no text of its own; this one does, for the set's argument checks.
class TextException : public std::exception {
  public:
    explicit TextException(const char* text) : mText(text) {}
    const char* what() const noexcept override { return mText; }

  private:
    const char* mText;
};

// Marks a parameter as a driver setting and fills in what all seven share.
void MakeDriverSetting(Param_& setting, bool persistent, const char* description) {
    setting.mGeneral = true;
    setting.mWritable = true;
    setting.mVisible = true;
    setting.mVolatile = false;
    setting.mChunk = false;
    setting.mPersistent = persistent;
    setting.mDescription = description;
}

}  // namespace

CameraParameters::CameraParameters(const std::atomic<int>* cameraPort, std::string cameraName)
    : mCameraPort(cameraPort), mCameraName(std::move(cameraName)) {
    CreateDriverSettings();
}

CameraParameters::~CameraParameters() = default;

bool CameraParameters::AddParameter_(std::unique_ptr<Param_> parameter) {
    if (!parameter) {
        throw TextException("CameraParameters::AddParameter_ null argument");
    }
    if (Contains(parameter->mName)) {
        return false;  // the earlier parameter of this name stays; this one is deleted
    }
    Append(std::move(parameter));
    return true;
}

bool CameraParameters::AddCopy(const Param_& parameter) {
    if (Contains(parameter.mName)) {
        return false;
    }
    Append(parameter.Clone());
    return true;
}

void CameraParameters::Assign(const CameraParameters& other) {
    if (&other == this) {
        return;
    }
    ClearParameters();
    for (const Param_& parameter : other) {
        AddCopy(parameter);
    }
}

void CameraParameters::ClearParameters() {
    mByName.clear();
    mParams.clear();
}

void CameraParameters::CopyValuesFrom(const CameraParameters& other) {
    for (Param_& parameter : *this) {
        parameter.CopyValueFrom(other.Find(parameter.mName));
    }
}

bool CameraParameters::Contains(const std::string& name) const {
    return mByName.count(name) != 0;
}

Param_* CameraParameters::Find(const std::string& name) {
    const auto found = mByName.find(name);
    return found != mByName.end() ? found->second : nullptr;
}

const Param_* CameraParameters::Find(const std::string& name) const {
    const auto found = mByName.find(name);
    return found != mByName.end() ? found->second : nullptr;
}

void CameraParameters::CreateCollapseStatus() {
    // Flags are appended while walking; they are invisible, so they never beget flags of their
    // own, and indexing keeps the walk valid while the list grows.
    for (size_t i = 0; i < mParams.size(); ++i) {
        const Param_& parameter = *mParams[i];
        if (!parameter.mVisible || parameter.mCategory.empty()) {
            continue;
        }
        const std::string name = parameter.mCategory + "_CollapseStatus";
        if (Contains(name)) {
            continue;
        }
        auto flag = std::make_unique<Param<bool>>(kGeneralCategory, name, true);
        flag->mGeneral = true;
        flag->mPersistent = false;
        flag->mVisible = false;
        flag->mWritable = false;
        flag->SetOption("SectionName", parameter.mCategory);
        AddParameter_(std::move(flag));
    }
}

void CameraParameters::CreateDriverSettings() {
    Param<int> logLevel(kGeneralCategory, "LogLevel", 1, 0, 4, 0);
    MakeDriverSetting(logLevel, true, "");
    AddCopy(logLevel);

    // Not persistent: file logging starts off in every process until a set switches it on.
    Param<bool> logIntoFile(kGeneralCategory, "LogIntoFile", false);
    MakeDriverSetting(logIntoFile, false, "");
    AddCopy(logIntoFile);

    Param<bool> useBgr(kGeneralCategory, "UseBGR", true);
    MakeDriverSetting(useBgr, true, "");
    AddCopy(useBgr);

    Param<bool> inhibitTerminate(kGeneralCategory, "InhibitPylonTerminate", true);
    MakeDriverSetting(inhibitTerminate, true,
                      "If enabled Pylon terminate function will not be called. Enable when using "
                      "several pylon drivers in the same profile, for example Basler Runner "
                      "together with Area Scan gige or firewire cameras");
    AddCopy(inhibitTerminate);

    Param<int> bufferCount(kGeneralCategory, "BufferCount", 5, 3, 25, 0);
    MakeDriverSetting(bufferCount, true, "Pylon image queue size for each camera.");
    AddCopy(bufferCount);

    Param<bool> reconnect(kGeneralCategory, "Reconnect", true);
    MakeDriverSetting(reconnect, true,
                      "Try to periodically reconnect camera if device removal is detected.");
    AddCopy(reconnect);

    Param<int> heartbeat(kGeneralCategory, "Heartbeat", 3000, 1000, 300000, 0);
    MakeDriverSetting(heartbeat, true,
                      "Heartbeat interval in ms. Determines how quickly camera removal is "
                      "detected. Not applicable to some cameras.");
    AddCopy(heartbeat);
}

void CameraParameters::Append(std::unique_ptr<Param_> parameter) {
    // Index first, so a failed allocation leaves list and index consistent.
    const auto entry = mByName.emplace(parameter->mName, parameter.get()).first;
    try {
        mParams.push_back(std::move(parameter));
    } catch (...) {
        mByName.erase(entry);
        throw;
    }
}

// --- Parameters from the feature tree -----------------------------------------------------------

void CameraParameters::CreateFromNodes(sdk::INodeMap& nodeMap) {
    const int port = GetCameraPort();
    Trace(port, "CameraParameters::CreateFromNodes", [] { return "CreateFromNodes beginning"; });
    auto* root = sdk::As<sdk::ICategory>(nodeMap.GetNode("Root"));
    if (root == nullptr) {
        throw std::runtime_error("CameraParameters::CreateFromNodes: Failed to get root node");
    }
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

// --- Writing to and reading from the camera -----------------------------------------------------

bool CameraParameters::ApplyParameters(sdk::INodeMap& nodeMap, int maxPasses) {
    static const char* const kWhere = "CameraParameters::ApplyParameters";
    const int port = GetCameraPort();
    if (maxPasses <= 0) {
        Info(port, kWhere, [] { return "Apply Parameters: Success"; });
        return true;
    }
    for (int pass = 1; pass <= maxPasses; ++pass) {
        Info(port, kWhere, [&] {
            return "Apply Parameters, iteration:" + std::to_string(pass) + "/" +
                   std::to_string(maxPasses);
        });
        int count = 0;
        for (Param_& parameter : *this) {
            if (!parameter.mWritable || parameter.mGeneral) {
                continue;
            }
            bool written = false;
            ApplyParameter(nodeMap, &parameter, written);
            if (written) {
                ++count;
            }
        }
        if (count == 0) {
            Info(port, kWhere, [] { return "Apply Parameters: Success"; });
            return true;
        }
        nodeMap.InvalidateNodes();
    }
    return false;  // the last allowed pass still wrote something
}

bool CameraParameters::ApplyParameters(sdk::INodeMap& nodeMap,
                                       const std::vector<std::string>& names) {
    static const char* const kWhere = "CameraParameters::ApplyParameters";
    for (const std::string& name : names) {
        try {
            Param_* parameter = Find(name);
            if (parameter == nullptr) {
                continue;
            }
            bool written = false;
            ApplyParameter(nodeMap, parameter, written);
        } catch (...) {
            LogLine(1, GetCameraPort(), "", kWhere,
                    [&] { return "Could not process parameter " + name; });
        }
    }
    return true;
}

void CameraParameters::ApplyParameter(sdk::INodeMap& nodeMap, Param_* parameter, bool& written) {
    static const char* const kWhere = "CameraParameters::ApplyParameter";
    written = false;
    if (parameter == nullptr) {
        return;
    }
    const int port = GetCameraPort();
    const std::string& name = parameter->mName;
    try {
        if (!parameter->HasOption("NodeName")) {
            Trace(port, kWhere, [&] {
                return "ApplyParameter: Parameter '" + name + "' has no node name, skipping";
            });
            return;
        }
        sdk::INode* node = nodeMap.GetNode(parameter->GetOption<sdk::gcstring>("NodeName"));
        if (node == nullptr) {
            Error(port, kWhere, [&] {
                return "Apply parameter. Could not find node by name of '" + name + "'. Skipping.";
            });
            return;
        }
        // The selector comes first: a selected feature's access mode belongs to the entry the
        // selector stands at.
        try {
            if (!SetSelector(node, parameter)) {
                Trace(port, kWhere, [&] {
                    return "ApplyParameter: Skipping " + name + ", its selector is not available";
                });
                return;
            }
        } catch (...) {
            Error(port, kWhere, [&] {
                return "ApplyParameter skipping because of failure to set selector for " + name;
            });
            return;
        }
        const sdk::EAccessMode mode = node->GetAccessMode();
        if (!sdk::IsWritable(mode)) {
            Info(port, kWhere,
                 [&] { return "ApplyParameter: Skipping non writable node: " + name; });
            return;
        }
        if (!sdk::IsReadable(mode)) {
            Info(port, kWhere,
                 [&] { return "ApplyParameter: Skipping non readable node: " + name; });
            return;
        }
        Trace(port, kWhere,
              [&] { return "ApplyParameter " + name + ": " + parameter->GetValueText(); });
        try {
            WriteToCamera(node, parameter, written);
        } catch (...) {
            Error(port, kWhere, [&] {
                return "ApplyParameter: Skipped '" + name + "' due to error while setting value";
            });
            return;
        }
    } catch (...) {
        written = false;
        Error(port, kWhere, [] { return "ApplyParameter: unrecognized exception"; });
    }
}

namespace {

// Writes the value when the node holds another one and logs the change.
template <typename Write>
void WriteChanged(sdk::INode* node, const std::string& name, const std::string& newText,
                  bool& written, Write&& write) {
    const std::string oldText = node->ToString(false, false).str();
    write();
    Plain([&] { return "Write to camera: " + name + "; " + oldText + " -> " + newText; });
    written = true;
}

// Within the float tolerance; non-finite values are the same when they are equal.
bool SameFloat(double camera, double wanted) {
    if (!std::isfinite(camera) || !std::isfinite(wanted)) {
        return camera == wanted || (std::isnan(camera) && std::isnan(wanted));
    }
    return std::fabs(camera - wanted) < CameraParameters::kFloatTolerance;
}

}  // namespace

void CameraParameters::WriteToCamera(sdk::INode* node, Param_* parameter, bool& written) {
    if (node == nullptr || parameter == nullptr) {
        return;
    }
    const std::string valueText = parameter->GetValueText();
    const std::string& name = parameter->mName;
    if (auto* integer = sdk::As<sdk::IInteger>(node)) {
        auto* typed = dynamic_cast<Param<int64_t>*>(parameter);
        if (typed == nullptr || integer->GetValue(false, false) == typed->mValue) {
            return;
        }
        WriteChanged(node, name, valueText, written,
                     [&] { integer->SetValue(typed->mValue, true); });
    } else if (auto* boolean = sdk::As<sdk::IBoolean>(node)) {
        auto* typed = dynamic_cast<Param<bool>*>(parameter);
        if (typed == nullptr || boolean->GetValue(false, false) == typed->mValue) {
            return;
        }
        WriteChanged(node, name, valueText, written,
                     [&] { boolean->SetValue(typed->mValue, true); });
    } else if (auto* real = sdk::As<sdk::IFloat>(node)) {
        auto* typed = dynamic_cast<Param<double>*>(parameter);
        // A value that is not finite is never written (a camera cannot take it); one equal to
        // the camera's (both -inf, say) is the same value.
        if (typed == nullptr || !std::isfinite(typed->mValue) ||
            SameFloat(real->GetValue(false, false), typed->mValue)) {
            return;
        }
        WriteChanged(node, name, valueText, written, [&] { real->SetValue(typed->mValue, true); });
    } else if (auto* text = sdk::As<sdk::IString>(node)) {
        auto* typed = dynamic_cast<Param<std::string>*>(parameter);
        if (typed == nullptr ||
            NoCaseLess::EqualNoCase(text->GetValue(false, false).str(), typed->mValue)) {
            return;
        }
        WriteChanged(node, name, valueText, written,
                     [&] { text->SetValue(sdk::gcstring(typed->mValue), true); });
    } else if (sdk::As<sdk::IRegister>(node) != nullptr) {
        return;  // registers are read, never written
    } else if (auto* enumeration = sdk::As<sdk::IEnumeration>(node)) {
        auto* typed = dynamic_cast<ParamEnum*>(parameter);
        // An entry text that names no entry counts as 0.
        if (typed == nullptr || enumeration->GetIntValue(false, false) == typed->GetIntValue()) {
            return;
        }
        WriteChanged(node, name, valueText, written,
                     [&] { enumeration->SetIntValue(typed->GetIntValue(), true); });
    } else if (sdk::As<sdk::IEnumEntry>(node) != nullptr) {
        Plain([&] { return "Skipped '" + name + "' EnumEntry"; });
    } else {
        Plain([&] { return "Skipped '" + name + "' due to unsupported type"; });
    }
}

bool CameraParameters::SetSelector(sdk::INode* node, Param_* parameter) {
    static const char* const kWhere = "CameraParameters::SetSelector";
    if (node == nullptr || parameter == nullptr || !parameter->HasOption("SelectorName")) {
        return true;
    }
    // The selectors around the parameter's own, outermost first: each decides what the next
    // one selects.
    if (parameter->HasOption(kOuterSelectors) && node->GetNodeMap() != nullptr) {
        const int64_t count = parameter->GetOption<int64_t>(kOuterSelectors);
        for (int64_t i = 0; i < count; ++i) {
            const std::string index = std::to_string(i);
            sdk::INode* outer = node->GetNodeMap()->GetNode(
                parameter->GetOption<std::string>(kOuterSelectorName + index));
            if (outer != nullptr &&
                !MoveSelector(outer, parameter->GetOption<int64_t>(kOuterSelectorValue + index))) {
                return false;
            }
        }
    }
    const std::string selectorName = parameter->GetOption<std::string>("SelectorName");
    sdk::INode* selector = nullptr;
    for (sdk::IValue* feature : node->GetSelectingFeatures()) {
        sdk::INode* candidate = feature != nullptr ? feature->GetNode() : nullptr;
        if (candidate != nullptr && candidate->GetName().str() == selectorName) {
            selector = candidate;
            break;
        }
    }
    if (selector == nullptr) {
        return true;  // accessed with the selector as it is
    }
    const int port = GetCameraPort();
    if (sdk::As<sdk::IEnumeration>(selector) == nullptr || !parameter->HasOption("SelectorValue")) {
        if (!sdk::IsAvailable(selector)) {
            return false;
        }
        Error(port, kWhere,
              [&] { return "SetSelector: Failed to set selector for " + parameter->mName; });
        return true;
    }
    const int64_t value = parameter->GetOption<int64_t>("SelectorValue");
    if (!MoveSelector(selector, value)) {
        return false;
    }
    Trace(port, kWhere, [&] {
        return "SetSelector: Setting " + parameter->mName + " to selector " + std::to_string(value);
    });
    return true;
}

bool CameraParameters::MoveSelector(sdk::INode* selector, int64_t value) {
    auto* enumeration = sdk::As<sdk::IEnumeration>(selector);
    if (enumeration == nullptr || !sdk::IsAvailable(selector)) {
        return false;  // no entry can be reached now (chunk controls while chunks are off, say)
    }
    // Written only when it does not stand at the entry already: a read-only selector (one
    // entry, say) does, and writing it would fail. One that stands elsewhere and cannot be moved
    // leaves the entry out of reach.
    if (sdk::IsReadable(selector) && enumeration->GetIntValue(false, false) == value) {
        return true;
    }
    if (!sdk::IsWritable(selector)) {
        return false;
    }
    enumeration->SetIntValue(value, true);
    return true;
}

void CameraParameters::UpdateParameters(sdk::INodeMap& nodeMap, bool invalidate) {
    if (invalidate) {
        nodeMap.InvalidateNodes();
    }
    for (Param_& parameter : *this) {
        if (!parameter.mGeneral) {
            UpdateParameter(nodeMap, &parameter);
        }
    }
}

void CameraParameters::UpdateParameter(sdk::INodeMap& nodeMap, Param_* parameter) {
    static const char* const kWhere = "CameraParameters::UpdateParameter";
    if (parameter == nullptr) {
        return;
    }
    const int port = GetCameraPort();
    const std::string& name = parameter->mName;
    if (!parameter->HasOption("NodeName")) {
        Error(port, kWhere, [&] {
            return "UpdateParameter: Parameter '" + name + "' has no node name. Skipping.";
        });
        return;
    }
    const sdk::gcstring nodeName = parameter->GetOption<sdk::gcstring>("NodeName");
    sdk::INode* node = nodeMap.GetNode(nodeName);
    if (node == nullptr) {
        Error(port, kWhere, [&] { return "UpdateParameter: Could not find node for " + name; });
        return;
    }
    // The selector comes first, as in ApplyParameter: the access mode is the selected entry's.
    try {
        if (!SetSelector(node, parameter)) {
            parameter->mWritable = false;
            Trace(port, kWhere, [&] {
                return "UpdateParameter: Skipped " + name + ", its selector is not available";
            });
            return;
        }
    } catch (...) {
        Error(port, kWhere,
              [&] { return "UpdateParameter: Failed to set selector for '" + name + "' "; });
        return;
    }
    const sdk::EAccessMode mode = node->GetAccessMode();
    parameter->mWritable = IsReadWrite(mode);
    if (!sdk::IsReadable(mode)) {
        Trace(port, kWhere,
              [&] { return "UpdateParameter: Skipped non-readable parameter " + name; });
        return;
    }
    try {
        SetValue(parameter, node);
        Trace(port, kWhere, [&] {
            return "UpdateParameter: " + name + ": " + parameter->GetValueText() +
                   ", range: " + parameter->GetRangeText();
        });
    } catch (...) {
        Error(port, kWhere, [&] {
            return "UpdateParameter: Setting value to parameter '" + nodeName.str() + "' failed ";
        });
    }
    if (NoCaseLess::EqualNoCase(name, "ChunkModeActive")) {
        if (auto* flag = dynamic_cast<Param<bool>*>(parameter)) {
            mChunkModeActive = flag->mValue;
        }
    }
}

void CameraParameters::SetValue(Param_* parameter, sdk::INode* node) {
    if (parameter == nullptr || node == nullptr) {
        return;
    }
    const std::string& name = parameter->mName;
    if (auto* integer = sdk::As<sdk::IInteger>(node)) {
        if (auto* typed = dynamic_cast<Param<int64_t>*>(parameter)) {
            typed->mMin = integer->GetMin();
            typed->mMax = integer->GetMax();
            typed->mValue = integer->GetValue(false, false);
            typed->mWritable = IsReadWrite(node->GetAccessMode());
        }
    } else if (auto* boolean = sdk::As<sdk::IBoolean>(node)) {
        if (auto* typed = dynamic_cast<Param<bool>*>(parameter)) {
            typed->mValue = boolean->GetValue(false, false);
            typed->mWritable = IsReadWrite(node->GetAccessMode());
        }
    } else if (auto* real = sdk::As<sdk::IFloat>(node)) {
        if (auto* typed = dynamic_cast<Param<double>*>(parameter)) {
            typed->mMin = real->GetMin();
            typed->mMax = real->GetMax();
            typed->mValue = real->GetValue(false, false);
            typed->mWritable = IsReadWrite(node->GetAccessMode());
        }
    } else if (auto* text = sdk::As<sdk::IString>(node)) {
        if (auto* typed = dynamic_cast<Param<std::string>*>(parameter)) {
            std::string value = text->GetValue(false, false).str();
            if (value != typed->mValue) {
                typed->mValue = std::move(value);
                typed->mWritable = IsReadWrite(node->GetAccessMode());
            }
        }
    } else if (auto* block = sdk::As<sdk::IRegister>(node)) {
        if (auto* typed = dynamic_cast<Param<std::string>*>(parameter)) {
            // A block as large as a table (a LUT, a file) is no setting: it is not read whole.
            if (block->GetLength() > kLargestRegisterText) {
                return;
            }
            std::string value = node->ToString(false, false).str();
            if (value != typed->mValue) {
                typed->mValue = std::move(value);
                typed->mWritable = IsReadWrite(node->GetAccessMode());
            }
        }
    } else if (auto* enumeration = sdk::As<sdk::IEnumeration>(node)) {
        if (auto* typed = dynamic_cast<ParamEnum*>(parameter)) {
            const int64_t value = enumeration->GetIntValue(false, false);
            if (value != typed->GetIntValue()) {
                typed->SetIntValue(value);
                typed->mWritable = IsReadWrite(node->GetAccessMode());
            }
        }
    } else if (sdk::As<sdk::IEnumEntry>(node) != nullptr) {
        Plain([&] { return "CameraParameters::SetValue: Skipped '" + name + "' EnumEntry"; });
    } else {
        Plain([&] {
            return "CameraParameters::SetValue: Skipped '" + name + "' due to unsupported type";
        });
    }
}

void CameraParameters::UpdateChunkParameters(sdk::INodeMap& chunkNodeMap) {
    static const char* const kWhere = "CameraParameters::UpdateChunkParameters";
    const int port = GetCameraPort();
    chunkNodeMap.InvalidateNodes();
    mChunkNodes.clear();
    chunkNodeMap.GetNodes(mChunkNodes);
    for (size_t i = 0; i < mChunkNodes.size(); ++i) {
        sdk::INode* node = mChunkNodes[i];
        if (node == nullptr) {
            continue;
        }
        std::string nodeName;
        try {
            nodeName = node->GetName().str();
            Param_* parameter = Find(nodeName);
            if (parameter == nullptr) {
                continue;
            }
            SetValue(parameter, node);
            Trace(port, kWhere, [&] {
                return "Update Chunk Parameter : " + parameter->mName + ": " +
                       parameter->GetValueText();
            });
        } catch (...) {
            LogLine(2, port, kWarning, kWhere, [&] {
                return "UpdateChunkParameters: Setting value to parameter '" + nodeName +
                       "' failed ";
            });
        }
    }
}

bool CameraParameters::Validate(std::string& message) const {
    for (const Param_& parameter : *this) {
        if (!parameter.mWritable || dynamic_cast<const Param<bool>*>(&parameter) != nullptr ||
            dynamic_cast<const Param<std::string>*>(&parameter) != nullptr) {
            continue;  // texts and enumerations (a ParamEnum is a text parameter) and flags
        }
        if (!parameter.IsInRange()) {
            message = parameter.mCategory + ": " + parameter.mName + ": out of range " +
                      parameter.ShownRange();
            return false;
        }
        const auto* integer = dynamic_cast<const Param<int>*>(&parameter);
        if (integer != nullptr && integer->mInc != 0 &&
            (int64_t{integer->mValue} - integer->mMin) % integer->mInc != 0) {
            message = parameter.mCategory + ": " + parameter.mName + ": must be multiple of " +
                      std::to_string(integer->mInc);
            return false;
        }
    }
    return true;
}

// --- Configuration file -------------------------------------------------------------------------

std::string CameraParameters::PortSectionName() const {
    return "Port.0." + std::to_string(GetCameraPort());
}

std::string CameraParameters::FindSection() const {
    return FindSection(IniFileStore::Read(GetDriverState().GetIniPath()));
}

std::string CameraParameters::FindSection(const IniFile& file) const {
    const std::string portSection = PortSectionName();
    if (file.SectionExists(portSection)) {
        const std::string stored = file.GetString(portSection, "$Camera", "");
        return CameraNameMatches(stored, mCameraName) ? portSection : std::string();
    }
    if (file.SectionExists(mCameraName)) {
        return mCameraName;
    }
    return std::string();
}

bool CameraParameters::Load(bool driverSettings) {
    const std::string path = GetDriverState().GetIniPath();
    IniFile file;
    std::string error;
    if (!IniFileStore::Read(path, file, error)) {
        Plain([&] { return "Error: Parameter load failed, " + error; });
        return true;  // the values stay as they are, as without a file
    }
    const std::string name = FindSection(file);
    if (name.empty()) {
        return true;  // no matching section: nothing is read, not even "General"
    }
    const IniSection section(path, name);
    for (Param_& parameter : *this) {
        if (parameter.mPersistent && parameter.mGeneral == driverSettings) {
            section.ReadParameter(file, parameter);
        }
    }
    return true;
}

bool CameraParameters::Save(std::string* error) const {
    const auto fail = [&](const std::string& logged, const std::string& reason) {
        Plain([&] { return "Error: " + logged; });
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    };
    if (GetCameraPort() < 0) {
        return fail("Parameter save on unassigned port", "Parameter save on unassigned port");
    }
    const std::string path = GetDriverState().GetIniPath();
    if (path.empty()) {
        return fail("Parameter save without configuration file path",
                    "Parameter save without configuration file path");
    }
    // Always the port section, also when the set was loaded from a section named like the
    // camera. One update of the file, key by key as single writes would leave it.
    const IniSection section(path, PortSectionName());
    std::string reason;
    const bool saved = IniFileStore::Update(
        path,
        [&](IniFile& file) {
            file.SetString(section.GetName(), "$Camera", mCameraName);
            for (const Param_& parameter : *this) {
                if (parameter.mPersistent) {
                    section.WriteParameter(file, parameter);
                }
            }
        },
        &reason);
    if (!saved) {
        fail("Parameter save failed, file " + path, "Parameter save failed: " + reason);
        Plain([&] { return "Error: " + reason; });
        return false;
    }
    return true;
}

bool CameraParameters::SectionExists(const std::string& name) {
    return IniFileStore::Read(GetDriverState().GetIniPath()).SectionExists(name);
}
