// CameraParameters: writing the set to the camera and reading it back (the passes, the selectors,
// the chunk parameters) and its validation.

#include "parameters/CameraParameters.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/ExceptionGuard.h"
#include "parameters/CameraParametersShared.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/NodeMapSnapshot.h"

using namespace camera_parameters;

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
        const sdk::NodeMapSnapshot snapshot(nodeMap);
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
    const sdk::NodeMapSnapshot snapshot(nodeMap);
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
