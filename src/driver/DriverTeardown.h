#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "driver/CallGate.h"

// The work of the finalize that brings the count to 0: close the call gate (waiting for the
// exported calls under way), destroy the camera list, terminate the SDK unless inhibited, open
// the gate again.
//
// A finalize made from inside a host callback (a completion callback, or the debug callback of
// another exported call) cannot do that work there: it would destroy the camera whose thread or
// call it is running in. Such a teardown is deferred to a thread of its own, which waits until
// the completion callback under way has returned and the calls under way have left; initialize
// waits for it before it builds the camera list again.
//
// Threading: Run and Defer come from finalize on any thread, WaitForDeferred from initialize.
// mMutex guards mThread; mPending tells whether a deferred teardown has not finished yet.
class DriverTeardown {
  public:
    static DriverTeardown& Instance();
    ~DriverTeardown();

    CallGate& Gate() { return mGate; }
    // Whether this thread is inside a host callback or an exported call, where Run must not run.
    static bool MustDefer();
    // Throws what the teardown throws (the gate is open again then).
    void Run();
    void Defer();
    // Waits for a deferred teardown; false when it cannot be waited for here (this thread is
    // where it waits to return) and has not finished.
    bool WaitForDeferred();

  private:
    DriverTeardown() = default;

    CallGate mGate;
    std::mutex mMutex;
    std::thread mThread;  // guarded by mMutex
    std::atomic<bool> mPending{false};
};
