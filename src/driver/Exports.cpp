// The 18 functions the host calls. Each checks its arguments, finds the camera through the camera
// list, delegates, and turns every failure into its failure value: no exception reaches the host.

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "base/NoCaseLess.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "camera/PropertyValue.h"
#include "driver/CallGate.h"
#include "driver/DriverTeardown.h"
#include "ini/IniFileStore.h"
#include "ostravelk/ostravelk.h"
#include "sdk/SdkLog.h"
#include "sdk/SdkRuntime.h"

namespace {

constexpr int kNoPort = 99;
constexpr int kPorts = 20;

// The three handlers of an exported function: the function's name is operation and where.
template <typename Result, typename Body>
Result GuardLifecycle(const char* function, Result failure, Body&& body) noexcept {
    return RunGuarded(kNoPort, function, function, failure, std::forward<Body>(body));
}

// The same for every call but initialize and finalize: a call that overlaps the teardown of the
// last finalize (which the host should not make) fails instead of using what is destroyed.
template <typename Result, typename Body>
Result Guard(const char* function, Result failure, Body&& body) noexcept {
    const CallGate::Pass pass(DriverTeardown::Instance().Gate());
    if (!pass) {
        GetDriverState().Log(1, std::string(function) + ": ERROR: called while finalize runs\n");
        return failure;
    }
    return GuardLifecycle(function, failure, std::forward<Body>(body));
}

// The SDK layer's messages (the simulator's camera-file notes, for example) join the driver's log.
void LogFromSdk(int level, const char* text) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(level)) {
        state.Log(level, text);
    }
}

std::string Text(const char* text) {
    return text ? text : "";
}

std::string GrabberPort(int grabberNo, int portNo, const char* separator) {
    return "grabberNo=" + std::to_string(grabberNo) + separator +
           "portNo=" + std::to_string(portNo);
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    return NoCaseLess::EqualNoCase(a, b);
}

// A null out-pointer from the host is refused with a log line instead of a crash.
int Refuse(const char* function, const char* argument) {
    GetDriverState().Log(1, std::string(function) + ": ERROR: null argument " + argument + "\n");
    return 0;
}

}  // namespace

extern "C" {

int setSystemPath(const char* path) {
    return GetDriverState().SetSystemPath(path) ? 1 : 0;
}

void setDebugMsgProc(DebugMsgProc proc) {
    GetDriverState().mDebugMsgProc = proc;
}

int initialize(const char* systemPath, DebugMsgProc proc) {
    return GuardLifecycle("initialize", 0, [&] {
        DriverState& state = GetDriverState();
        setSystemPath(systemPath);
        setDebugMsgProc(proc);
        state.ReadSettings(&IniFileStore::GetProfileString);
        if (const char* root = std::getenv("PYLON_GENICAM_ROOT")) {
            setenv("GENICAM_ROOT_V2_3", root, 1);
        }
        GetDriverState().Log(2, "===============\ninitialize: \n");
        if (!DriverTeardown::Instance().WaitForDeferred()) {
            GetDriverState().Log(
                1, "initialize: ERROR: the last finalize completes once this callback returns\n");
            return 0;
        }
        if (state.mRefCount == 0) {
            sdk::SdkLog::SetSink(&LogFromSdk);
            sdk::Initialize();
            CameraList::InitInstance();
        }
        int count = ++state.mRefCount;

        std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        GetDriverState().Log(
            1, "initialize: Basler camera driver V" + std::string(DriverState::kVersionText) +
                   ", refcount=" + std::to_string(count) + ", " + std::to_string(t.tm_year + 1900) +
                   "-" + std::to_string(t.tm_mon + 1) + "-" + std::to_string(t.tm_mday) + " " +
                   std::to_string(t.tm_hour) + ":" + std::to_string(t.tm_min) + ":" +
                   std::to_string(t.tm_sec) + "\n");
        return 1;
    });
}

int finalize(void) {
    return GuardLifecycle("finalize", 0, [&] {
        DriverState& state = GetDriverState();
        GetDriverState().Log(
            2, "finalize: entering, refcount=" + std::to_string(state.mRefCount) + "\n");
        if (state.mRefCount <= 0) {
            // Without this guard the count would go negative and every later initialize would
            // leave the driver without cameras for the rest of the process.
            GetDriverState().Log(
                1, "finalize: WARNING: finalize without initialize, refcount stays 0\n");
            return 1;
        }
        int count = --state.mRefCount;
        if (count == 0) {
            DriverTeardown& teardown = DriverTeardown::Instance();
            if (DriverTeardown::MustDefer()) {
                GetDriverState().Log(
                    1, "finalize: called from a host callback, the driver stops once it returns\n");
                teardown.Defer();
            } else {
                teardown.Run();
            }
        }
        GetDriverState().Log(2, "finalize: leaving, refcount=" + std::to_string(count) + "\n");
        return 1;
    });
}

int getCVLMaxNoOfGrabbers(void) {
    return 1;
}

int getCVLMaxNoOfPorts(void) {
    return kPorts;
}

int getCVLNoOfSupportedCameras(void) {
    return Guard("getCVLNoOfSupportedCameras", 0, [] { return CameraList::Instance().Count(); });
}

const char** getCVLCameraConfigNames(void) {
    return Guard("getCVLCameraConfigNames", static_cast<const char**>(nullptr),
                 [] { return CameraList::Instance().GetConfigNames(); });
}

int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* size) {
    return Guard("openCVLPort", 0, [&] {
        if (!size) {
            return Refuse("openCVLPort", "size");
        }
        size[0] = 0;
        size[1] = 0;
        std::string name = Text(cameraName);
        GetDriverState().Log(2, "openCVLPort: entering " + GrabberPort(grabberNo, portNo, ", ") +
                                    ", cameraName=" + name + "\n");
        // The grabber has 20 ports; a camera bound elsewhere could not be reached by a host
        // that keeps to them, and would leave its port in the host's numbering.
        if (portNo < 0 || portNo >= kPorts) {
            GetDriverState().Log(1, "openCVLPort: ERROR: port " + std::to_string(portNo) +
                                        " outside 0.." + std::to_string(kPorts - 1) + ", " +
                                        GrabberPort(grabberNo, portNo, ", ") +
                                        ", cameraName=" + name + "\n");
            return 0;
        }
        if (name.empty() || EqualsIgnoringCase(name.c_str(), "Undefined") ||
            EqualsIgnoringCase(name.c_str(), "Udefinert")) {
            GetDriverState().Log(1, "openCVLPort: ERROR: undefined camera, " +
                                        GrabberPort(grabberNo, portNo, ", ") +
                                        ", cameraName=" + name + "\n");
            return 0;
        }
        Camera* camera = CameraList::Instance().GetByName(cameraName);
        if (!camera) {
            GetDriverState().Log(1,
                                 "openCVLPort: ERROR: cannot find camera by name:" + name + "\n");
            return 0;
        }
        if (!camera->QuorvaneOpen(portNo, size)) {
            GetDriverState().Log(2, "openCVLPort: ERROR: camera not opened, " +
                                        GrabberPort(grabberNo, portNo, ", ") +
                                        ", cameraName=" + name + "\n");
            return 0;
        }
        GetDriverState().Log(2, "openCVLPort: leaving -- Camera " +
                                    camera->mDeviceInfo.mFriendlyName + " OPENED on port " +
                                    std::to_string(portNo) + "\n");
        return 1;
    });
}

void closeCVLPort(int grabberNo, int portNo) {
    Guard("closeCVLPort", 0, [&] {
        GetDriverState().Log(
            2, "closeCVLPort: entering " + GrabberPort(grabberNo, portNo, ", ") + "\n");
        if (Camera* camera = CameraList::Instance().GetByPort_(portNo)) {
            camera->QuorvaneClose();
        }
        GetDriverState().Log(
            2, "closeCVLPort: leaving " + GrabberPort(grabberNo, portNo, ", ") + "\n");
        return 0;
    });
}

int doCVLGrab(int grabberNo, int portNo) {
    return Guard("doCVLGrab", 0, [&] {
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        return camera && camera->mIsOpen && camera->Grab() ? 1 : 0;
    });
}

int getCVLGrabRow(int grabberNo, int portNo, void* dest, int row, int firstCol, int lastCol) {
    return Guard("getCVLGrabRow", 0, [&] {
        if (!dest) {
            return Refuse("getCVLGrabRow", "dest");
        }
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        if (!camera || !camera->mIsOpen) {
            return 0;
        }
        // The image stays as it is (no reopen, no conversion) until the row is copied.
        const std::unique_lock<std::mutex> image = camera->mBuffers.LockImage();
        const uint8_t* line = camera->mBuffers.GetLine(row);
        if (!line) {
            return 0;
        }
        // The host's column range is checked: a bad range would read past the image.
        int width = camera->mBuffers.Width();
        if (firstCol < 0 || lastCol < firstCol || lastCol >= width) {
            GetDriverState().Log(1, "getCVLGrabRow: ERROR: column range " +
                                        std::to_string(firstCol) + ".." + std::to_string(lastCol) +
                                        " outside the image width " + std::to_string(width) +
                                        ", portNo=" + std::to_string(portNo) + "\n");
            return 0;
        }
        // From the image's own geometry: a reopen may have changed the pixel size meanwhile.
        size_t bytesPerPixel = static_cast<size_t>(camera->mBuffers.LineSize() / width);
        std::memcpy(dest, line + static_cast<size_t>(firstCol) * bytesPerPixel,
                    static_cast<size_t>(lastCol - firstCol + 1) * bytesPerPixel);
        return 1;
    });
}

int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback) {
    return Guard("setCompleteCallback", 0, [&] {
        GetDriverState().Log(
            2, "setCompleteCallback: entering " + GrabberPort(grabberNo, portNo, "   ") + "\n");
        if (Camera* camera = CameraList::Instance().GetByPort_(portNo)) {
            camera->mCompleteCallback = callback;
        }
        GetDriverState().Log(
            2, "setCompleteCallback: leaving " + GrabberPort(grabberNo, portNo, "   ") + "\n");
        return 1;
    });
}

int getPropertyRange(int grabberNo, int portNo, const char* name, int* min, int* max) {
    return Guard("getPropertyRange", 0, [&] {
        GetDriverState().Log(
            2, "getPropertyRange: entering " + GrabberPort(grabberNo, portNo, "   ") + "\n");
        if (!name || !min || !max) {
            return Refuse("getPropertyRange", !name ? "name" : !min ? "min" : "max");
        }
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        if (!camera || !camera->GetRange(name, *min, *max)) {
            return 0;
        }
        GetDriverState().Log(
            2, "getPropertyRange: leaving " + GrabberPort(grabberNo, portNo, "   ") + "\n");
        return 1;
    });
}

int getProperty(int grabberNo, int portNo, const char* name, int* value) {
    return Guard("getProperty", 0, [&] {
        GetDriverState().Log(
            3, "getProperty: portNo=" + std::to_string(portNo) + ", prop=" + Text(name) + "\n");
        if (!name || !value) {
            return Refuse("getProperty", !name ? "name" : "value");
        }
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        PropertyValue property;
        if (!camera || !camera->GetProperty(name, property)) {
            return 0;
        }
        *value = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(property.mInt)));
        return 1;
    });
}

int setProperty(int grabberNo, int portNo, const char* name, int value) {
    return Guard("setProperty", 0, [&] {
        GetDriverState().Log(3, "setProperty: portNo=" + std::to_string(portNo) + "\n");
        if (!name) {
            return Refuse("setProperty", "name");
        }
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        if (!camera || !camera->mIsOpen) {
            return 0;
        }
        PropertyValue property;
        property.SetInt(value);
        return camera->SetProperty(name, property) ? 1 : 0;
    });
}

int execCmd(int grabberNo, int portNo, const char* command, const char* argument, char* result,
            unsigned resultSize) {
    return Guard("execCmd", 0, [&] {
        if (!command) {
            return Refuse("execCmd", "command");
        }
        Camera* camera = CameraList::Instance().GetByPort_(portNo);
        return camera && camera->ExecuteCmd(command, argument, result, resultSize) ? 1 : 0;
    });
}

int configureCamera(void* parent, const char* cameraName) {
    return Guard("configureCamera", 0, [&] {
        std::string name = Text(cameraName);
        GetDriverState().Log(2, "configureCamera: entering cameraName=" + name + "\n");
        Camera* camera = CameraList::Instance().GetByName(cameraName);
        if (!camera) {
            GetDriverState().Log(
                1, "configureCamera: ERROR: cannot find camera by name: " + name + "\n");
            return 0;
        }
        if (!camera->Configure(parent)) {
            return 0;
        }
        GetDriverState().LogPort(2, kNoPort, "Info: ", "configureCamera leaving: " + name,
                                 "configureCamera");
        return 1;
    });
}

}  // extern "C"
