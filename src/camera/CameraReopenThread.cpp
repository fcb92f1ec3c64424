#include "camera/CameraReopenThread.h"

#include <ctime>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "base/ThreadIdText.h"
#include "camera/Camera.h"
#include "camera/CameraVector.h"

namespace {

constexpr unsigned kTickMs = 5000;
constexpr unsigned kStopWaitMs = 10000;

}  // namespace

CameraReopenThread::CameraReopenThread(CameraVector* lostCameras)
    : mLostCameras(lostCameras),
      mTerminateEvent(sdk::WaitObjectEx::Create()),
      mExitedEvent(sdk::WaitObjectEx::Create()) {}

CameraReopenThread::~CameraReopenThread() {
    GetDriverState().Log(2, "CameraReopenThread dtor");
    Destroy();
}

void CameraReopenThread::Start() {
    mTerminateEvent.Reset();
    mExitedEvent.Reset();
    mRunning = true;
    mThread = std::thread([this] { ThreadMain(); });
    GetDriverState().Log(
        2, "CameraReopenThread::CameraReopenThread: thread created:" + ThreadIdText(mThread));
}

void CameraReopenThread::ThreadMain() {
    GetDriverState().Log(
        2, "CameraReopenThread::ThreadMain: entering, clock=" + std::to_string(std::clock()));
    for (;;) {
        if (mTerminateEvent.Wait(kTickMs)) {
            break;
        }
        // One tick; a failure is logged and the cameras are tried again at the next tick.
        RunGuardedVoid(99, "CameraReopenThread", "CameraReopenThread::ThreadMain", [this] {
            int count = mLostCameras->Size();
            if (count == 0) {
                return;
            }
            GetDriverState().Log(2, "CameraReopenThread: Lost cameras=" + std::to_string(count) +
                                        " Will try to reopen");
            for (int i = count - 1; i >= 0; --i) {
                if (Camera* camera = mLostCameras->At(i)) {
                    camera->ReOpen();
                }
            }
        });
    }
    GetDriverState().Log(2, "CameraReopenThread::ThreadMain: Event received: terminate");
    GetDriverState().Log(2, "CameraReopenThread::ThreadMain: leaving");
    mRunning = false;
    mExitedEvent.Signal();
}

bool CameraReopenThread::Destroy() {
    GetDriverState().Log(2, "CameraReopenThread::Destroy");
    if (!mThread.joinable()) {
        return true;
    }
    mTerminateEvent.Signal();
    bool ended = mExitedEvent.Wait(kStopWaitMs);
    if (ended) {
        mThread.join();
    } else {
        GetDriverState().Log(
            1, "CameraReopenThread::Destroy: WARNING: thread did not end within 10 s");
        mThread.detach();
    }
    return ended;
}
