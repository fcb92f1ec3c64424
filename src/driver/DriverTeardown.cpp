#include "driver/DriverTeardown.h"

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "sdk/SdkRuntime.h"

DriverTeardown& DriverTeardown::Instance() {
    static DriverTeardown teardown;
    return teardown;
}

DriverTeardown::~DriverTeardown() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mThread.joinable()) {
        mThread.join();
    }
}

bool DriverTeardown::MustDefer() {
    return Camera::IsCallingBack() || CallGate::IsInCall();
}

void DriverTeardown::Run() {
    mGate.Close();
    try {
        CameraList::DestroyInstance();
        if (!GetDriverState().mInhibitPylonTerminate) {
            sdk::Terminate(true);
        }
    } catch (...) {
        mGate.Open();
        throw;
    }
    mGate.Open();
}

void DriverTeardown::Defer() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mThread.joinable()) {
        mThread.join();  // an earlier one has finished: the count went up in between
    }
    mPending = true;
    mThread = std::thread([this] {
        // The completion callback under way (the one that finalized, say) returns first.
        { std::lock_guard<std::mutex> callbacks(CameraList::CallbackLock()); }
        RunGuardedVoid(99, "finalize", "finalize", [this] { Run(); });
        GetDriverState().Log(2, "finalize: deferred teardown done\n");
        mPending = false;
    });
}

bool DriverTeardown::WaitForDeferred() {
    if (!mPending) {
        return true;
    }
    if (MustDefer()) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mMutex);
    if (mThread.joinable()) {
        mThread.join();
    }
    return true;
}
