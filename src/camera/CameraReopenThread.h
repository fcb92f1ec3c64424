#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "sdk/grab/WaitObjectEx.h"

class CameraVector;

// The one driver-wide thread that reopens lost cameras: every five seconds it calls
// Camera::ReOpen for each camera in the camera list's lost cameras, walking from the end (a
// successful open removes the camera from the list).
//
// Threading: Start and Destroy run on the host thread (initialize / finalize); ThreadMain runs on
// the thread it creates. mTerminateEvent wakes the thread; mExitedEvent is signalled as the
// thread's last act, so Destroy can wait for it with a time limit. An exception in one tick is
// logged and the thread goes on at the next tick.
class CameraReopenThread {
  public:
    // lostCameras is the camera list's vector of lost cameras; it must outlive the thread.
    explicit CameraReopenThread(CameraVector* lostCameras);
    ~CameraReopenThread();
    CameraReopenThread(const CameraReopenThread&) = delete;
    CameraReopenThread& operator=(const CameraReopenThread&) = delete;

    void Start();
    // Stops the thread and waits up to 10 s. Returns false when the thread was still running
    // then: it is left to finish on its own and everything it can reach must be kept alive.
    bool Destroy();
    bool IsRunning() const { return mRunning; }

  private:
    void ThreadMain();

    CameraVector* mLostCameras;
    std::thread mThread;
    std::atomic<bool> mRunning{false};
    sdk::WaitObjectEx mTerminateEvent;
    sdk::WaitObjectEx mExitedEvent;
};
