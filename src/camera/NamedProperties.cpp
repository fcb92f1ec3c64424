// Named properties and commands of a camera: special names the driver answers itself, short
// aliases of camera features, and every parameter of the camera's set. Members of Camera.

#include <unistd.h>

#include <boost/numeric/conversion/cast.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "base/NoCaseLess.h"
#include "camera/Camera.h"
#include "camera/PropertyValue.h"
#include "driver/DriverState.h"
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

bool IsLoggingName(const std::string& name) {
    return IsOneOf(name, {"DebugViewOutput", "DebugView", "LogDebugView"});
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
    } else if (Is(name, "LogLevel")) {
        mDriverState->mLogLevel = static_cast<int32_t>(value.mInt);
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
        if (auto* p = dynamic_cast<Param<int>*>(parameter)) {
            SetParameter<int>(mParameters, p->mName, static_cast<int32_t>(value.mInt));
        } else if (auto* p = dynamic_cast<Param<int64_t>*>(parameter)) {
            SetParameter<int64_t>(mParameters, p->mName, value.mInt);
        } else if (auto* p = dynamic_cast<Param<double>*>(parameter)) {
            SetParameter<double>(mParameters, p->mName, value.mReal / Scale(name));
        } else if (auto* p = dynamic_cast<Param<bool>*>(parameter)) {
            SetParameter<bool>(mParameters, p->mName, value.mInt != 0);
        } else if (auto* p = dynamic_cast<ParamEnum*>(parameter)) {
            if (value.IsInteger()) {
                p->SetIndex(value.mInt);
            } else {
                p->mValue = value.mText;
            }
        } else if (auto* p = dynamic_cast<Param<std::string>*>(parameter)) {
            SetParameter<std::string>(mParameters, p->mName, value.mText);
        } else {
            return false;
        }
        // A closed camera keeps the new value in its set; the next open writes it.
        if (mIsOpen) {
            bool written = false;
            mParameters.ApplyParameter(mInstantCamera->GetNodeMap(), parameter, written);
        }
    }
    if ((name.find("TriggerMode") != std::string::npos ||
         name.find("TriggerSource") != std::string::npos) &&
        mIsOpen) {
        CheckForSoftwareTrigger(mInstantCamera->GetNodeMap());
    }
    return true;
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
    Log(1, "ERR: ", std::string("ExecuteCmd unrecognized cmd:") + (command ? command : ""),
        "Camera::ExecuteCmd");
    return false;
}
