#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sdk {

// A device's removal callback as the removal watchers (simulated and Aravis) keep it: the
// callback, and whether and on which thread it is running, so that replacing it waits for a run
// in progress unless the replacement comes from that very run.
//
// Threading: not locked itself. Every member is called with the owner's mutex held through the
// lock passed in (or otherwise); 'changed' is the owner's condition variable for that mutex.
class RemovalCallback {
  public:
    RemovalCallback() = default;
    RemovalCallback(const RemovalCallback&) = delete;
    RemovalCallback& operator=(const RemovalCallback&) = delete;

    // Takes over the callback of an earlier run (not its running state), for a fresh run.
    void CarryOver(const RemovalCallback& previous) { mCallback = previous.mCallback; }
    // Replaces the callback; first waits for a run in progress unless called from it.
    void Set(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
             std::function<void()> callback);
    // Runs the callback, if any, with the lock released; a throwing callback is ignored.
    // Notifies 'changed' when done.
    void Run(std::unique_lock<std::mutex>& lock, std::condition_variable& changed);

  private:
    std::function<void()> mCallback;
    bool mInCallback = false;
    std::thread::id mCallbackThread;
};

}  // namespace sdk
