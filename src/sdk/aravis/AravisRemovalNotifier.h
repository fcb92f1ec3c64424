#pragma once

#include <functional>
#include <memory>

namespace sdk {

// Carries Aravis' "control-lost" signal to the device's removal callback. Aravis emits the
// signal on its own heartbeat thread, where the device must not be closed or destroyed (that
// would wait for the thread itself); Signal only records it (IsRemoved is true from then on),
// and a thread of this class runs the callback, once per Start.
//
// Stop never waits for that thread (it may be in the callback, e.g. a handler that closes the
// camera). SetCallback waits for a callback in progress unless called from that callback.
//
// Threading: Start/Stop from the device's users; Signal from any thread (through the token of
// the current run); SetCallback from any thread. State::mutex guards the callback and the flags.
class AravisRemovalNotifier {
  public:
    struct State;
    // What the signal handler holds: stays valid after Stop and after the notifier is gone.
    using Token = std::shared_ptr<State>;

    AravisRemovalNotifier();
    ~AravisRemovalNotifier();
    AravisRemovalNotifier(const AravisRemovalNotifier&) = delete;
    AravisRemovalNotifier& operator=(const AravisRemovalNotifier&) = delete;

    // A fresh run; returns the token the signal handler reports through.
    Token Start();
    void Stop();
    static void Signal(const Token& token);
    void SetCallback(std::function<void()> callback);
    bool IsRemoved() const;

  private:
    static void Run(Token state);

    Token mState;
};

}  // namespace sdk
