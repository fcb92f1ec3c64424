#include "sdk/sim/SimRemovalWatcher.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sdk/transport/RemovalCallback.h"

namespace sdk {

struct SimRemovalWatcher::State {
    std::string path;
    std::atomic<int64_t> timeoutMs{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> removed{false};
    std::atomic<bool> running{false};

    std::mutex mutex;
    std::condition_variable changed;
    RemovalCallback callback;  // guarded by mutex
};

SimRemovalWatcher::SimRemovalWatcher(std::string path)
    : mPath(std::move(path)), mState(std::make_shared<State>()) {
    mState->path = mPath;
}

SimRemovalWatcher::~SimRemovalWatcher() {
    Stop();
}

void SimRemovalWatcher::Start(int64_t timeoutMs) {
    Stop();
    // A fresh state per run: a thread of an earlier run may still be finishing.
    auto state = std::make_shared<State>();
    state->path = mPath;
    state->timeoutMs = timeoutMs;
    {
        std::lock_guard<std::mutex> lock(mState->mutex);
        state->callback.CarryOver(mState->callback);
    }
    state->running = true;
    mState = state;
    std::thread(&SimRemovalWatcher::Run, state).detach();
}

void SimRemovalWatcher::Stop() {
    std::lock_guard<std::mutex> lock(mState->mutex);
    mState->stop = true;
    mState->running = false;
    mState->changed.notify_all();
}

void SimRemovalWatcher::SetTimeout(int64_t timeoutMs) {
    mState->timeoutMs = timeoutMs;
}

void SimRemovalWatcher::SetCallback(std::function<void()> callback) {
    std::unique_lock<std::mutex> lock(mState->mutex);
    mState->callback.Set(lock, mState->changed, std::move(callback));
}

bool SimRemovalWatcher::IsRemoved() const {
    return mState->removed;
}

void SimRemovalWatcher::Run(std::shared_ptr<State> state) {
    using Clock = std::chrono::steady_clock;
    bool missing = false;
    Clock::time_point missingSince;
    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->stop) {
        state->changed.wait_for(lock, std::chrono::milliseconds(50));
        if (state->stop) {
            break;
        }
        struct stat info;
        if (::stat(state->path.c_str(), &info) == 0) {
            missing = false;
            continue;
        }
        if (!missing) {
            missing = true;
            missingSince = Clock::now();
        }
        if (Clock::now() - missingSince < std::chrono::milliseconds(state->timeoutMs.load())) {
            continue;
        }
        state->removed = true;
        state->callback.Run(lock, state->changed);
        break;
    }
    state->running = false;
}

}  // namespace sdk
