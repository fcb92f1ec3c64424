// Named properties and commands of a camera: special names the driver answers itself, short
// aliases of camera features, and every parameter of the camera's set. Members of Camera.

#include <unistd.h>

#include <boost/numeric/conversion/cast.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/DriverState.h"
#include "base/NoCaseLess.h"
#include "camera/Camera.h"
#include "camera/PropertyValue.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/InstantCamera.h"

namespace {

bool Is(const std::string& name, const char* special) {
    return NoCaseLess::EqualNoCase(name, special);
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> specials) {
    for (const char* special : specials) {
        if (Is(name, special)) {
            return true;
        }
    }
    return false;
}

// Real values of "gamma" travel multiplied by 1000.
double Scale(const std::string& hostName) {
    return Is(hostName, "gamma") ? 1000.0 : 1.0;
}

int TruncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

// Resident set size of the process in MiB; 0 when it cannot be read.
double MemoryUsedMiB() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) {
        return 0.0;
    }
    unsigned long size = 0, resident = 0;
    int fields = std::fscanf(file, "%lu %lu", &size, &resident);
    std::fclose(file);
    if (fields != 2) {
        return 0.0;
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// The host's text as a number: one finite or infinite decimal number, blanks around it allowed.
// integral tells whether it is a whole number that fits integer.
bool ParseNumber(const std::string& text, double& real, int64_t& integer, bool& integral) {
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    if (text[first] == '+') {
        ++first;
    }
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (begin >= end) {
        return false;
    }
    const std::from_chars_result whole = std::from_chars(begin, end, integer);
    if (whole.ec == std::errc() && whole.ptr == end) {
        real = static_cast<double>(integer);
        integral = true;
        return true;
    }
    const std::from_chars_result number = std::from_chars(begin, end, real);
    if (number.ec != std::errc() || number.ptr != end || std::isnan(real)) {
        return false;
    }
    integral = std::isfinite(real) && std::trunc(real) == real && std::fabs(real) < 9.2e18;
    if (integral) {
        integer = static_cast<int64_t>(real);
    }
    return true;
}

bool IsLoggingName(const std::string& name) {
    return IsOneOf(name, {"DebugViewOutput", "DebugView", "LogDebugView"});
}

// The names the camera answers itself, as the "list" command shows them: name, type, access,
// limits, description.
struct SpecialName {
    const char* name;
    const char* type;
    const char* access;
    const char* limits;
    const char* description;
};
constexpr SpecialName kSpecialNames[] = {
    {"continuous", "bool", "rw", "[0..1]", "1 grabs continuously, 0 stops (also \"continous\")"},
    {"PixelSize", "int", "ro", "", "bits per pixel of the rows getCVLGrabRow copies (8 or 24)"},
    {"CurrentFrame", "int64", "ro", "", "block id of the newest image"},
    {"FrameCount", "int64", "ro", "", "images received since the camera was opened"},
    {"MissedPylon", "int", "ro", "", "always 0"},
    {"MissedQueue", "int", "ro", "", "always 0"},
    {"MissedExposure", "int", "ro", "", "always 0"},
    {"MemoryUsed", "float", "ro", "", "resident memory of the process in MiB"},
    {"DebugViewOutput", "int", "rw", "",
     "highest level of the log lines written to standard error (also \"DebugView\", "
     "\"LogDebugView\")"},
    {"Reset", "command", "wo", "", "setting any value resets the camera (DeviceReset)"},
};
constexpr const char* kAliases[] = {"Exposure", "Shutter", "Gain", "Brightness", "framerate"};

// A field of a "list" line: tabs and line breaks become blanks.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

// Type and limits of a parameter as the "list" command shows them; false for a type that the
// named properties do not serve. Real limits are scaled like their values.
bool DescribeType(const Param_& parameter, double scale, std::string& type, std::string& limits) {
    std::ostringstream range;
    range.imbue(std::locale::classic());
    range.precision(9);
    if (auto* p = dynamic_cast<const ParamEnum*>(&parameter)) {
        type = "enum";
        for (size_t i = 0; i < p->mEntries.size(); ++i) {
            range << (i ? "," : "") << p->mEntries[i];
        }
    } else if (auto* p = dynamic_cast<const Param<int>*>(&parameter)) {
        type = "int";
        range << "[" << p->mMin << ".." << p->mMax << "]";
    } else if (auto* p = dynamic_cast<const Param<int64_t>*>(&parameter)) {
        type = "int64";
        range << "[" << p->mMin << ".." << p->mMax << "]";
    } else if (auto* p = dynamic_cast<const Param<double>*>(&parameter)) {
        type = "float";
        range << "[" << p->mMin * scale << ".." << p->mMax * scale << "]";
    } else if (dynamic_cast<const Param<bool>*>(&parameter)) {
        type = "bool";
        range << "[0..1]";
    } else if (dynamic_cast<const Param<std::string>*>(&parameter)) {
        type = "string";
    } else {
        return false;
    }
    limits = range.str();
    return true;
}

// One page of the "list" command: the whole lines from the start line on (the argument, decimal,
// empty for 0) that fit into resultSize with the terminating zero. Past the last line the page is
// empty. Fails, with an empty result, for a start that is no number or a first line that does
// not fit.
bool WriteListPage(const std::vector<std::string>& lines, const std::string& argument, char* result,
                   unsigned resultSize) {
    if (!result || resultSize == 0) {
        return false;
    }
    result[0] = '\0';
    size_t start = 0;
    for (char c : argument) {
        if (c < '0' || c > '9' || start > lines.size()) {
            return false;
        }
        start = start * 10 + static_cast<size_t>(c - '0');
    }
    size_t used = 0;
    for (size_t i = start; i < lines.size(); ++i) {
        if (used + lines[i].size() + 1 >= resultSize) {
            return i > start;
        }
        std::memcpy(result + used, lines[i].data(), lines[i].size());
        used += lines[i].size();
        result[used++] = '\n';
        result[used] = '\0';
    }
    return true;
}

}  // namespace

std::string Camera::MapPropertyName(const std::string& name) const {
    if (Is(name, "framerate")) {
        if (mUsbCamera) return "AcquisitionFrameRate";
        if (mGigECamera) return "AcquisitionFrameRateAbs";
        return name;
    }
    if (Is(name, "Exposure") || Is(name, "Shutter")) return "ExposureTimeAbs";
    if (Is(name, "Gain")) return "All_GainRaw";
    if (Is(name, "Brightness")) return "All_BlackLevelRaw";
    return name;
}

bool Camera::GetRange(const std::string& name, int& min, int& max) {
    std::lock_guard<std::recursive_mutex> lock(mLock);  // an open rebuilds the parameters
    if (mDriverState->IsLogEnabled(2)) {
        mDriverState->Log(2, "Camera::GetRange: entering prop=" + name + " \n");
    }
    Param_* parameter = mParameters.Find(MapPropertyName(name));
    if (!parameter) {
        return false;
    }
    if (auto* p = dynamic_cast<Param<int>*>(parameter)) {
        min = p->mMin;
        max = p->mMax;
    } else if (auto* p = dynamic_cast<Param<int64_t>*>(parameter)) {
        min = boost::numeric_cast<int>(p->mMin);
        max = boost::numeric_cast<int>(p->mMax);
    } else if (auto* p = dynamic_cast<Param<double>*>(parameter)) {
        min = TruncateToInt(p->mMin * Scale(name));
        max = TruncateToInt(p->mMax * Scale(name));
    } else if (dynamic_cast<Param<bool>*>(parameter)) {
        min = 0;
        max = 1;
    } else if (auto* p = dynamic_cast<ParamEnum*>(parameter)) {
        min = boost::numeric_cast<int>(p->GetMinEntryValue());
        max = boost::numeric_cast<int>(p->GetMaxEntryValue());
    } else {
        return false;
    }
    if (mDriverState->IsLogEnabled(2)) {
        mDriverState->Log(2, "Camera::GetRange: leaving prop=" + name + " min=" +
                                 std::to_string(min) + "   max=" + std::to_string(max) + " \n");
    }
    return true;
}

bool Camera::GetProperty(const std::string& name, PropertyValue& value) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mDriverState->IsLogEnabled(3)) {
        mDriverState->Log(3, "Camera::GetProperty: prop=" + name + " \n");
    }
    if (Is(name, "PixelSize")) {
        value.SetInt(mPixelSize);
        return true;
    }
    if (IsOneOf(name, {"continuous", "continous"})) {
        value.SetBool(mContinuousGrab);
        return true;
    }
    if (IsLoggingName(name)) {
        value.SetInt(mDriverState->mLogDebugView);
        return true;
    }
    if (Is(name, "CurrentFrame")) {
        value.SetInt64(static_cast<int64_t>(mCurrentFrame.load()));
        return true;
    }
    if (Is(name, "FrameCount")) {
        value.SetInt64(mFrameCount);
        return true;
    }
    if (IsOneOf(name, {"MissedPylon", "MissedQueue", "MissedExposure"})) {
        value.SetInt(0);
        return true;
    }
    if (Is(name, "MemoryUsed")) {
        value.SetReal(MemoryUsedMiB());
        return true;
    }

    Param_* parameter = mParameters.Find(MapPropertyName(name));
    if (!parameter) {
        return false;
    }
    // Volatile camera values are read again; a closed camera reports what it held last.
    if (parameter->mVolatile && !parameter->mGeneral && !parameter->mChunk && mIsOpen) {
        mParameters.UpdateParameter(mInstantCamera->GetNodeMap(), parameter);
    }
    if (auto* p = dynamic_cast<Param<int>*>(parameter)) {
        value.SetInt(p->mValue);
    } else if (auto* p = dynamic_cast<Param<int64_t>*>(parameter)) {
        value.SetInt64(p->mValue);
    } else if (auto* p = dynamic_cast<Param<double>*>(parameter)) {
        value.SetReal(p->mValue * Scale(name));
    } else if (auto* p = dynamic_cast<Param<bool>*>(parameter)) {
        value.SetBool(p->mValue);
    } else if (auto* p = dynamic_cast<ParamEnum*>(parameter)) {
        value.SetEnum(p->GetIndex(), p->mValue);
    } else if (auto* p = dynamic_cast<Param<std::string>*>(parameter)) {
        value.SetText(p->mValue);
    } else {
        return false;
    }
    return true;
}

bool Camera::SetProperty(const std::string& name, const PropertyValue& value) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mDriverState->IsLogEnabled(3)) {
        mDriverState->Log(3, "Camera::SetProperty: prop=" + name + " value=" + value.mText + " \n");
    }
    if (IsLoggingName(name)) {
        mDriverState->mLogDebugView = static_cast<int32_t>(value.mInt);
    }

    if (IsOneOf(name, {"continuous", "continous"})) {
        SetContinuousGrab(value.mInt != 0);
    } else if (Is(name, "Reset")) {
        if (mGigECamera || mUsbCamera) {
            auto* reset =
                sdk::As<sdk::ICommand>(mInstantCamera->GetNodeMap().GetNode("DeviceReset"));
            if (!reset) {
                throw sdk::LogicalErrorException("Node 'DeviceReset' does not exist");
            }
            reset->Execute(true);
        }
    } else {
        Param_* parameter = mParameters.Find(MapPropertyName(name));
        if (!parameter) {
            return false;
        }
        // The value is tried on a copy first: a value the parameter or the camera refuses
        // changes nothing, and the set keeps what the camera holds.
        std::unique_ptr<Param_> candidate = parameter->Clone();
        std::string why;
        const StoreResult stored = StoreValue(*candidate, value, Scale(name), why);
        if (stored == StoreResult::Unsupported) {
            return false;
        }
        const bool onCamera = mIsOpen && parameter->HasOption("NodeName");
        // Numbers keep to their range (the camera's as last read back, for a closed camera).
        const bool numeric = dynamic_cast<const Param<int>*>(parameter) ||
                             dynamic_cast<const Param<int64_t>*>(parameter) ||
                             dynamic_cast<const Param<double>*>(parameter);
        if (stored == StoreResult::Stored && !onCamera && numeric && !candidate->IsInRange()) {
            why = "outside " + candidate->GetRangeText();
        } else if (stored == StoreResult::Stored && onCamera) {
            const std::string formatBefore = ImageFormatText();
            const bool written = WriteToCamera(*parameter, *candidate, why);
            if (written) {
                StoreValue(*parameter, value, Scale(name), why);
            }
            sdk::INodeMap& nodeMap = mInstantCamera->GetNodeMap();
            mParameters.UpdateParameter(nodeMap, parameter);
            if (written) {
                // An image-format feature was written between a stop and a restart already.
                FollowImageFormat(nodeMap, IsImageFormatName(parameter->mName) ? "" : formatBefore);
            }
        } else if (stored == StoreResult::Stored) {
            StoreValue(*parameter, value, Scale(name), why);
        }
        if (!why.empty()) {
            Log(1, "ERR: ", "SetProperty: " + name + "=" + value.mText + " refused: " + why,
                "Camera::SetProperty");
            return false;
        }
        if (auto* level = dynamic_cast<const Param<int>*>(parameter);
            level && Is(name, "LogLevel")) {
            mDriverState->mLogLevel = level->mValue;
        }
    }
    if ((name.find("TriggerMode") != std::string::npos ||
         name.find("TriggerSource") != std::string::npos) &&
        mIsOpen) {
        CheckForSoftwareTrigger(mInstantCamera->GetNodeMap());
    }
    return true;
}

Camera::StoreResult Camera::StoreValue(Param_& parameter, const PropertyValue& value, double scale,
                                       std::string& why) {
    if (auto* p = dynamic_cast<ParamEnum*>(&parameter)) {
        if (value.IsInteger()) {
            if (value.mInt < 0 || value.mInt >= static_cast<int64_t>(p->mEntries.size())) {
                why = "no entry has the index " + value.mText;
                return StoreResult::Refused;
            }
            p->SetIndex(value.mInt);
        } else if (std::find(p->mEntries.begin(), p->mEntries.end(), value.mText) ==
                   p->mEntries.end()) {
            why = "no such entry";
            return StoreResult::Refused;
        } else {
            p->mValue = value.mText;
        }
        return StoreResult::Stored;
    }
    if (auto* p = dynamic_cast<Param<std::string>*>(&parameter)) {
        p->mValue = value.mText;
        return StoreResult::Stored;
    }
    const bool isBool = dynamic_cast<Param<bool>*>(&parameter) != nullptr;
    const bool isInt = dynamic_cast<Param<int>*>(&parameter) != nullptr;
    const bool isInt64 = dynamic_cast<Param<int64_t>*>(&parameter) != nullptr;
    const bool isReal = dynamic_cast<Param<double>*>(&parameter) != nullptr;
    if (!isBool && !isInt && !isInt64 && !isReal) {
        return StoreResult::Unsupported;
    }
    // The host's text must be a number as a whole ("abc" or "12abc" is a typing mistake).
    double real = 0.0;
    int64_t integer = 0;
    bool integral = false;
    if (isBool && (value.mText == "true" || value.mText == "false")) {
        integral = true;
        integer = value.mText == "true" ? 1 : 0;
    } else if (!ParseNumber(value.mText, real, integer, integral)) {
        why = "not a number";
        return StoreResult::Refused;
    }
    if (isReal) {
        const double scaled = real / scale;
        if (!std::isfinite(scaled)) {
            why = "not a finite number";
            return StoreResult::Refused;
        }
        dynamic_cast<Param<double>&>(parameter).mValue = scaled;
        return StoreResult::Stored;
    }
    if (!integral) {
        why = "not a whole number";
        return StoreResult::Refused;
    }
    if (auto* p = dynamic_cast<Param<int>*>(&parameter)) {
        if (integer < std::numeric_limits<int>::min() ||
            integer > std::numeric_limits<int>::max()) {
            why = "outside " + p->GetRangeText();
            return StoreResult::Refused;
        }
        p->mValue = static_cast<int>(integer);
    } else if (auto* p = dynamic_cast<Param<int64_t>*>(&parameter)) {
        p->mValue = integer;
    } else {
        dynamic_cast<Param<bool>&>(parameter).mValue = integer != 0;
    }
    return StoreResult::Stored;
}

bool Camera::WriteToCamera(const Param_& parameter, Param_& candidate, std::string& why) {
    sdk::INodeMap& nodeMap = mInstantCamera->GetNodeMap();
    const sdk::gcstring nodeName = candidate.GetOption<sdk::gcstring>("NodeName");
    sdk::INode* node = nodeMap.GetNode(nodeName);
    if (node == nullptr) {
        why = "the camera has no feature " + nodeName.str();
        return false;
    }
    bool restart = false;
    bool written = false;
    try {
        if (!mParameters.SetSelector(node, &candidate)) {
            why = "its selector is not available now";
        } else {
            // The image format is written between a stop and a restart of the grab: a camera
            // may lock it while it streams, and frames of a new size would not fit the grab
            // buffers. So is any feature the camera locks while streaming.
            if ((IsImageFormatName(parameter.mName) ||
                 (!sdk::IsWritable(node) && parameter.mWritable)) &&
                mInstantCamera->IsGrabbing()) {
                StopGrabbing();
                restart = true;
            }
            if (!sdk::IsWritable(node)) {
                why = "not writable";
            } else {
                bool changed = false;
                mParameters.WriteToCamera(node, &candidate, changed);
                written = true;
            }
        }
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (restart) {
        StartGrabbing();
    }
    if (written) {
        return true;
    }
    if (why.empty()) {
        why = "the camera did not take it";
    }
    return false;
}

bool Camera::IsImageFormatName(const std::string& name) {
    return std::any_of(std::begin(kImageFormatNames), std::end(kImageFormatNames),
                       [&](const char* format) { return NoCaseLess::EqualNoCase(name, format); });
}

std::string Camera::ImageFormatText() const {
    std::string text;
    for (const char* name : kImageFormatNames) {
        if (const Param_* parameter = mParameters.Find(name)) {
            text += parameter->GetValueText() + ";";
        }
    }
    return text;
}

void Camera::FollowImageFormat(sdk::INodeMap& nodeMap, const std::string& formatBefore) {
    // A feature that is not one of them may still change them (binning, say).
    for (const char* name : kImageFormatNames) {
        if (Param_* parameter = mParameters.Find(name)) {
            mParameters.UpdateParameter(nodeMap, parameter);
        }
    }
    if (!mInstantCamera->IsGrabbing()) {
        return;  // the next start allocates buffers of the new payload size
    }
    size_t payload = 0;
    if (auto* node = sdk::As<sdk::IInteger>(nodeMap.GetNode("PayloadSize"))) {
        payload = static_cast<size_t>(std::max<int64_t>(node->GetValue(), 0));
    }
    // Buffers too small for the new frames would only receive failed grabs; frames of the old
    // format still waiting are dropped, so what the host reads next has the new format.
    if (payload > mBuffers.GrabBufferSize() ||
        (!formatBefore.empty() && ImageFormatText() != formatBefore)) {
        Log(2, "Info: ", "image format changed, grabbing restarts", "Camera::SetProperty");
        StopGrabbing();
        StartGrabbing();
    }
}

bool Camera::ExecuteCmd(const char* command, const char* argument, char* result,
                        unsigned resultSize) {
    std::string text = argument ? argument : "";
    if (command && NoCaseLess::EqualNoCase(command, "get")) {
        PropertyValue value;
        bool found = GetProperty(text, value);
        if (result && resultSize > 0) {
            size_t length = std::min<size_t>(value.mText.size(), resultSize - 1);
            std::memcpy(result, value.mText.data(), length);
            result[length] = '\0';
        }
        return found;
    }
    if (command && NoCaseLess::EqualNoCase(command, "set")) {
        PropertyValue value;
        std::string name;
        if (!value.SetFromAssignment(text, name)) {
            return false;
        }
        bool done = SetProperty(name, value);
        if (result && resultSize > 0) {
            result[0] = '\0';
        }
        return done;
    }
    if (command && NoCaseLess::EqualNoCase(command, "list")) {
        return WriteListPage(ListProperties(), text, result, resultSize);
    }
    Log(1, "ERR: ", std::string("ExecuteCmd unrecognized cmd:") + (command ? command : ""),
        "Camera::ExecuteCmd");
    return false;
}

std::vector<std::string> Camera::ListProperties() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    std::vector<std::string> lines;
    auto add = [&](const std::string& name, const std::string& type, const std::string& access,
                   const std::string& limits, const std::string& description) {
        PropertyValue value;
        std::string text = access != "wo" && GetProperty(name, value) ? value.mText : "";
        lines.push_back(name + "\t" + type + "\t" + access + "\t" + OneLine(text) + "\t" + limits +
                        "\t" + OneLine(description));
    };
    for (const SpecialName& special : kSpecialNames) {
        add(special.name, special.type, special.access, special.limits, special.description);
    }
    for (const char* alias : kAliases) {
        const std::string target = MapPropertyName(alias);
        const Param_* parameter = mParameters.Find(target);
        std::string type, limits;
        if (!Is(target, alias) && parameter && DescribeType(*parameter, 1.0, type, limits)) {
            add(alias, type, parameter->mWritable ? "rw" : "ro", limits, "alias of " + target);
        }
    }
    for (const Param_& parameter : mParameters) {
        std::string type, limits;
        // A name taken by an alias or a special name reaches something else.
        const bool reachable =
            NoCaseLess::EqualNoCase(MapPropertyName(parameter.mName), parameter.mName) &&
            std::none_of(std::begin(kSpecialNames), std::end(kSpecialNames),
                         [&](const SpecialName& s) { return Is(parameter.mName, s.name); });
        if (parameter.mVisible && reachable &&
            DescribeType(parameter, Scale(parameter.mName), type, limits)) {
            add(parameter.mName, type, parameter.mWritable ? "rw" : "ro", limits,
                parameter.mDescription);
        }
    }
    return lines;
}
