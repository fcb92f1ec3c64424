#include "driver/CallGate.h"

namespace {

// Calls of this thread under way (nested when a host callback calls again).
thread_local int tCalls = 0;

}  // namespace

bool CallGate::Enter() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mClosed) {
        return false;
    }
    ++mCalls;
    ++tCalls;
    return true;
}

void CallGate::Leave() {
    std::lock_guard<std::mutex> lock(mMutex);
    --mCalls;
    --tCalls;
    mLeft.notify_all();
}

void CallGate::Close() {
    std::unique_lock<std::mutex> lock(mMutex);
    mClosed = true;
    mLeft.wait(lock, [this] { return mCalls == 0; });
}

void CallGate::Open() {
    std::lock_guard<std::mutex> lock(mMutex);
    mClosed = false;
}

bool CallGate::IsInCall() {
    return tCalls > 0;
}
