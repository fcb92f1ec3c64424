#include "acquisition/ImageQueueThread.h"

#include <ctime>
#include <string>

#include "acquisition/AcquisitionCamera.h"
#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "base/ThreadIdText.h"
#include "sdk/grab/WaitObjects.h"

namespace {

constexpr unsigned kPollMs = 100;
constexpr unsigned kStopWaitMs = 10000;

}  // namespace

ImageQueueThread::ImageQueueThread(AcquisitionCamera* camera)
    : mCamera(camera), mExitedEvent(sdk::WaitObjectEx::Create()) {}

ImageQueueThread::~ImageQueueThread() {
    GetDriverState().LogPort(2, mCamera->GetPort(), "Info: ", "ImageQueueThread dtor",
                             "ImageQueueThread::~ImageQueueThread");
    Destroy();
}

void ImageQueueThread::Init() {
    if (mThread.joinable()) {
        return;
    }
    mTerminate = false;
    mExitedEvent.Reset();
    mThread = std::thread([this] { ThreadMain(); });
    GetDriverState().LogPort(
        2, mCamera->GetPort(),
        "Info: ", "ImageQueueThread::ImageQueueThread: thread created:" + ThreadIdText(mThread),
        "ImageQueueThread::Init");
}

int ImageQueueThread::ThreadMain() {
    DriverState& state = GetDriverState();
    const char* where = "ImageQueueThread::ThreadMain";
    state.LogPort(2, mCamera->GetPort(),
                  "Info: ", "ImageQueueThread entering, clock=" + std::to_string(std::clock()),
                  where);
    sdk::WaitObjects waitObjects;
    waitObjects.Add(mCamera->GetGrabResultWaitObject());
    while (!mTerminate) {
        try {
            // A stop from here on takes away the image this wait may announce: no error.
            mCamera->BeginWaitForImage();
            bool ready = waitObjects.WaitForAll(kPollMs);
            if (mTerminate) {
                state.LogPort(2, mCamera->GetPort(),
                              "Info: ", "ImageQueueThread terminate event received", where);
                break;
            }
            if (!ready) {
                continue;
            }
            if (state.IsLogEnabled(3)) {
                state.LogPort(3, mCamera->GetPort(), "trace: ", "New image available", where);
            }
            if (mCamera->RetrieveImage()) {
                mCamera->CountFrame();
                mCamera->InvokeCB();
            }
        } catch (...) {
            LogCurrentException(mCamera->GetPort(), "ImageQueueThread", where);
        }
    }
    state.LogPort(2, mCamera->GetPort(),
                  "Info: ", "ImageQueueThread leaving, clock=" + std::to_string(std::clock()),
                  where);
    mExitedEvent.Signal();
    return 0;
}

bool ImageQueueThread::Destroy() {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(2)) {
        state.Log(2, "ImageQueueThread::Destroy entering");
    }
    bool ended = true;
    if (mThread.joinable()) {
        mTerminate = true;
        ended = mExitedEvent.Wait(kStopWaitMs);
        if (ended) {
            mThread.join();
        } else {
            mThread.detach();
        }
    }
    if (state.IsLogEnabled(2)) {
        state.Log(2, "ImageQueueThread::Destroy leaving");
    }
    return ended;
}
