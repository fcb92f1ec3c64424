#pragma once

#include <condition_variable>
#include <mutex>

// The door of the exported calls. The driver's teardown (the last finalize) closes it: calls that
// arrive then are refused at once, and Close waits until the calls under way have left, so that
// no call still uses a camera the teardown deletes. Open lets calls in again.
//
// IsInCall tells whether the calling thread is inside a call (a host callback calling again):
// a teardown must not run there, as the call it is inside still uses its camera.
//
// Threading: any thread. mMutex guards mCalls and mClosed; a closed gate refuses without waiting,
// so a call made from inside the teardown (a host's debug callback) never blocks it.
class CallGate {
  public:
    // One call through the gate for the life of the object; false when it was refused.
    class Pass {
      public:
        explicit Pass(CallGate& gate) : mGate(gate), mEntered(gate.Enter()) {}
        ~Pass() {
            if (mEntered) {
                mGate.Leave();
            }
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const { return mEntered; }

      private:
        CallGate& mGate;
        const bool mEntered;
    };

    bool Enter();
    void Leave();
    // Refuses new calls and waits for those under way. Not from inside a call.
    void Close();
    void Open();
    static bool IsInCall();

  private:
    std::mutex mMutex;
    std::condition_variable mLeft;
    int mCalls = 0;
    bool mClosed = false;
};
