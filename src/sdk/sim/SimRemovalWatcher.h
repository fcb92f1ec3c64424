#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sdk {

// Watches a simulated camera's file while the device is open and reports its removal: once the
// file has been missing for the time-out (ms), the callback runs, once, on the watcher's thread.
//
// The thread polls every 50 ms and only touches a state object it shares with this one, so Stop
// never waits for it (it may be in the callback, e.g. a handler that closes the camera).
//
// Threading: Start/Stop/SetTimeout from the device's users; SetCallback from any thread; it waits
// for a callback in progress unless called from that callback. State::mutex guards the callback
// and the in-callback flag; the other shared fields are atomics.
class SimRemovalWatcher {
  public:
    explicit SimRemovalWatcher(std::string path);
    ~SimRemovalWatcher();
    SimRemovalWatcher(const SimRemovalWatcher&) = delete;
    SimRemovalWatcher& operator=(const SimRemovalWatcher&) = delete;

    void Start(int64_t timeoutMs);
    void Stop();
    void SetTimeout(int64_t timeoutMs);
    void SetCallback(std::function<void()> callback);
    bool IsRemoved() const;

  private:
    struct State;
    static void Run(std::shared_ptr<State> state);

    const std::string mPath;
    std::shared_ptr<State> mState;
};

}  // namespace sdk
