// Grab control of a camera: the host's grab requests become SDK grabbing, and each finished image
// is retrieved, converted and announced to the host. These are members of Camera.

#include <cstdio>
#include <mutex>
#include <string>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/InstantCamera.h"

bool Camera::Grab() {
    // A setting written meanwhile (SetProperty holds the lock) meets either no grab or one whose
    // buffers it can check.
    std::lock_guard<std::recursive_mutex> lock(mLock);
    Log(2, "Info: ", "Grab", "Camera::Grab");
    if (mConfiguring) {
        Log(1, "ERR: ", "Grab ignored: configure dialog open", "Camera::Grab");
        return true;
    }
    if (!mIsOpen) {
        return false;  // closed while the call waited for the lock
    }
    StartGrabbing();
    if (mUseSoftwareTrigger) {
        SoftwareTrigger();
    }
    return true;
}

void Camera::SetContinuousGrab(bool on) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    const char* where = "Camera::SetContinuousGrab";
    Log(2, "Info: ", std::string("SetContinuousGrab: mode=") + (on ? "on" : "off"), where);
    if (mConfiguring) {
        Log(1, "ERR: ", "SetContinous ignored: configure dialog open", where);
        return;
    }
    // A camera closed meanwhile keeps the mode for its next open.
    if (on) {
        if (!mContinuousGrab && mIsOpen && mInstantCamera->IsGrabbing()) {
            StopGrabbing();
        }
        mContinuousGrab = true;
        if (mIsOpen) {
            StartGrabbing();
        }
        mCurrentFrame = 0;
    } else {
        mContinuousGrab = false;
        if (mIsOpen) {
            StopGrabbing();
        }
    }
}

void Camera::StartGrabbing() {
    const char* where = "Camera::StartGrabbing";
    if (mInstantCamera->IsGrabbing()) {
        Log(3, "trace: ", "StartGrabbing ignored, already grabbing", where);
        return;
    }
    bool continuous = mContinuousGrab;
    Log(3, "trace: ", std::string("StartGrabbing, cont=") + (continuous ? "1" : "0"), where);
    if (continuous) {
        mInstantCamera->StartGrabbing(sdk::GrabStrategy_OneByOne, sdk::GrabLoop_ProvidedByUser);
    } else {
        mInstantCamera->StartGrabbing(1, sdk::GrabStrategy_OneByOne, sdk::GrabLoop_ProvidedByUser);
    }
}

void Camera::StopGrabbing() {
    Log(3, "trace: ", "StopGrabbing", "Camera::StopGrabbing");
    ++mStops;
    try {
        mInstantCamera->StopGrabbing();
    } catch (...) {
        ++mStops;
        throw;
    }
    ++mStops;
}

void Camera::CheckForSoftwareTrigger(sdk::INodeMap& nodeMap) {
    const char* where = "Camera::CheckForSoftwareTrigger";
    if (!mInstantCamera->IsOpen()) {
        Log(1, "", "Error: not open", where);
        return;
    }
    mUseSoftwareTrigger = false;
    try {
        auto* selector = sdk::As<sdk::IEnumeration>(nodeMap.GetNode("TriggerSelector"));
        if (!selector || !sdk::IsReadable(selector->GetNode())) {
            // No trigger features: the camera runs free, it has no software trigger.
            Log(3, "trace: ", "no trigger selector", where);
            return;
        }
        // A selector that cannot be moved (read-only) is asked only at the entry it stands at.
        const bool movable = sdk::IsWritable(selector->GetNode());
        for (const char* name : {"FrameStart", "AcquisitionStart"}) {
            sdk::IEnumEntry* entry = selector->GetEntryByName(name);
            if (!entry || !sdk::IsAvailable(entry)) {
                continue;
            }
            if (!movable) {
                if (selector->GetIntValue(false, false) != entry->GetValue()) {
                    continue;
                }
            } else {
                selector->FromString(name, true);
            }
            auto* mode = nodeMap.GetNode("TriggerMode");
            auto* source = nodeMap.GetNode("TriggerSource");
            if (!mode || !source) {
                throw sdk::LogicalErrorException("Trigger mode or source does not exist");
            }
            // A trigger whose mode or source the camera does not offer for this selector entry
            // (not implemented in its present configuration) is no software trigger.
            if (!sdk::IsReadable(mode) || !sdk::IsReadable(source)) {
                continue;
            }
            if (mode->ToString(false, false) == "On" &&
                source->ToString(false, false) == "Software") {
                mUseSoftwareTrigger = true;
                Log(2, "", std::string("Software trigger detected on ") + name, where);
                return;
            }
        }
    } catch (...) {
        LogCurrentException(mPort, "CheckForSoftwareTrigger", where);
    }
}

void Camera::SoftwareTrigger() {
    const char* where = "Camera::SoftwareTrigger";
    Log(2, "", "executing software trigger", where);
    RunGuardedVoid(mPort, "SoftwareTrigger", where, [this] {
        if (mInstantCamera->IsOpen()) {
            mInstantCamera->ExecuteSoftwareTrigger();
        }
    });
}

const sdk::WaitObject& Camera::GetGrabResultWaitObject() const {
    return mInstantCamera->GetGrabResultWaitObject();
}

bool Camera::RetrieveImage() {
    const char* where = "Camera::RetrieveImage";
    if (!mInstantCamera->IsGrabbing()) {
        return false;
    }
    if (mDriverState->IsLogEnabled(2)) {
        Log(2, "Info: ",
            "retrieving image, ready buffers=" +
                std::to_string(mInstantCamera->GetNumReadyBuffers()),
            where);
    }
    // A stop since the wait began drops the waiting image (and may end grabbing): no error.
    const uint64_t stops = mStopsBeforeWait;
    auto stopped = [&] {
        return stops != mStops || (stops & 1) != 0 || !mInstantCamera->IsGrabbing();
    };
    sdk::GrabResultPtr result;
    bool retrieved = false;
    try {
        retrieved = mInstantCamera->RetrieveResult(0, result, sdk::TimeoutHandling_Return);
    } catch (const sdk::LogicalErrorException&) {
        if (!stopped()) {
            throw;
        }
    }
    if (!retrieved) {
        if (!stopped()) {
            Log(1, "ERR: ", "RetrieveImage: RetrieveResult fails", where);
        } else {
            Log(3, "trace: ", "RetrieveImage: grabbing stopped meanwhile", where);
        }
        return false;
    }
    if (!result.IsValid()) {
        Log(1, "ERR: ", "RetrieveImage failed: grabResult not valid", where);
        return false;
    }
    // A failed grab holds no image (its payload may be empty or cut short): it is never
    // converted.
    if (!result->GrabSucceeded()) {
        if (mDriverState->IsLogEnabled(1)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", result->GetErrorCode());
            Log(1, "ERR: ",
                "RetrieveImage: grab failed: " + result->GetErrorDescription() + " (" + code + ")",
                where);
        }
        return false;
    }
    if (!mBuffers.Convert(result)) {
        return false;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(mLock);  // the host reads them meanwhile
        if (mParameters.IsChunkModeActive() && result->IsChunkDataAvailable()) {
            mParameters.UpdateChunkParameters(result->GetChunkDataNodeMap());
        }
    }
    result.Release();
    return true;
}

namespace {

// Set while this thread runs a host's completion callback.
thread_local bool tCallingBack = false;

}  // namespace

bool Camera::IsCallingBack() {
    return tCallingBack;
}

void Camera::InvokeCB() {
    Log(2, "Info: ", "CB", "Camera::InvokeCB");
    CameraList::Instance();
    std::lock_guard<std::mutex> lock(CameraList::CallbackLock());
    if (CompleteCallback callback = mCompleteCallback.load()) {
        struct CallingBack {
            CallingBack() { tCallingBack = true; }
            ~CallingBack() { tCallingBack = false; }
        } callingBack;
        callback(0, mPort);
    } else if (mStopsBeforeWait != mStops) {
        // Taken before the host stopped grabbing, which may then empty its callback slot.
        Log(3, "trace: ", "no callback for an image taken before a stop", "Camera::InvokeCB");
    } else {
        Log(1, "ERR: ", "callback is not assigned", "Camera::InvokeCB");
    }
}
