#pragma once

#include <atomic>
#include <thread>

#include "sdk/grab/WaitObjectEx.h"

class AcquisitionCamera;

// The camera's worker: waits (100 ms at a time) for grab results of the camera, retrieves and
// converts each one, counts it and calls the host's completion callback. Started by the first
// host open of the camera and running until the camera is destroyed; while the camera does not
// grab it only polls its stop flag.
//
// Threading: Init, RequestStop and Destroy run on host threads, Init under the camera's mLock
// (two host opens of one camera must not both start a worker); ThreadMain on the worker.
// mTerminate is the stop request; mExitedEvent is signalled as the worker's last act so Destroy
// can wait for it with a time limit. A worker that is still running after Destroy gave up must
// not outlive its camera: the camera list then keeps the camera alive.
class ImageQueueThread {
  public:
    explicit ImageQueueThread(AcquisitionCamera* camera);
    ~ImageQueueThread();
    ImageQueueThread(const ImageQueueThread&) = delete;
    ImageQueueThread& operator=(const ImageQueueThread&) = delete;

    // Starts the worker unless it runs.
    void Init();
    // Asks the worker to stop without waiting.
    void RequestStop() { mTerminate = true; }
    // Asks the worker to stop and waits up to 10 s; false when it is still running then.
    bool Destroy();
    bool IsRunning() const { return mThread.joinable(); }

  private:
    int ThreadMain();

    std::thread mThread;
    AcquisitionCamera* mCamera;
    std::atomic<bool> mTerminate{false};
    sdk::WaitObjectEx mExitedEvent;
};
