#include "sdk/aravis/AravisRemovalNotifier.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sdk/transport/RemovalCallback.h"

namespace sdk {

struct AravisRemovalNotifier::State {
    std::mutex mutex;
    std::condition_variable changed;
    RemovalCallback callback;  // guarded by mutex
    bool lost = false;         // guarded by mutex
    bool stop = false;         // guarded by mutex
    std::atomic<bool> removed{false};
};

AravisRemovalNotifier::AravisRemovalNotifier() : mState(std::make_shared<State>()) {}

AravisRemovalNotifier::~AravisRemovalNotifier() {
    Stop();
}

AravisRemovalNotifier::Token AravisRemovalNotifier::Start() {
    Stop();
    // A fresh state per run: the thread of an earlier run may still be finishing.
    auto state = std::make_shared<State>();
    {
        std::lock_guard<std::mutex> lock(mState->mutex);
        state->callback.CarryOver(mState->callback);
    }
    mState = state;
    std::thread(&AravisRemovalNotifier::Run, state).detach();
    return state;
}

void AravisRemovalNotifier::Stop() {
    std::lock_guard<std::mutex> lock(mState->mutex);
    mState->stop = true;
    mState->changed.notify_all();
}

void AravisRemovalNotifier::Signal(const Token& token) {
    if (!token) {
        return;
    }
    // Removed from now on, for whoever asks (an open that checks right after its walk, say);
    // the callback follows on the notifier's thread.
    token->removed = true;
    std::lock_guard<std::mutex> lock(token->mutex);
    token->lost = true;
    token->changed.notify_all();
}

void AravisRemovalNotifier::SetCallback(std::function<void()> callback) {
    std::unique_lock<std::mutex> lock(mState->mutex);
    mState->callback.Set(lock, mState->changed, std::move(callback));
}

bool AravisRemovalNotifier::IsRemoved() const {
    return mState->removed;
}

void AravisRemovalNotifier::Run(Token state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    state->changed.wait(lock, [&state] { return state->stop || state->lost; });
    if (state->stop) {
        return;
    }
    state->removed = true;
    state->callback.Run(lock, state->changed);
}

}  // namespace sdk
