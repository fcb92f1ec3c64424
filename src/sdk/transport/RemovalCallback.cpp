#include "sdk/transport/RemovalCallback.h"

#include <utility>

namespace sdk {

void RemovalCallback::Set(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                          std::function<void()> callback) {
    changed.wait(lock,
                 [this] { return !mInCallback || mCallbackThread == std::this_thread::get_id(); });
    mCallback = std::move(callback);
}

void RemovalCallback::Run(std::unique_lock<std::mutex>& lock, std::condition_variable& changed) {
    std::function<void()> callback = mCallback;
    if (!callback) {
        return;
    }
    mInCallback = true;
    mCallbackThread = std::this_thread::get_id();
    lock.unlock();
    try {
        callback();
    } catch (...) {
        // A handler's failure must not end the process.
    }
    lock.lock();
    mInCallback = false;
    changed.notify_all();
}

}  // namespace sdk
