#include "sdk/grab/WaitObjects.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/grab/CameraTypes.h"

namespace sdk {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline for poll(): -1 for no limit, at least 0.
int MillisecondsLeft(unsigned int timeoutMs, Clock::time_point deadline) {
    if (timeoutMs == kInfinite) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// poll() that retries after signals; returns the number of ready descriptors.
int PollOnce(std::vector<pollfd>& fds, int waitMs) {
    for (;;) {
        for (pollfd& p : fds) {
            p.revents = 0;
        }
        const int rc = ::poll(fds.data(), fds.size(), waitMs);
        if (rc >= 0) {
            return rc;
        }
        if (errno != EINTR) {
            throw RuntimeException(std::string("Wait failed: ") + std::strerror(errno), __FILE__,
                                   __LINE__);
        }
    }
}

}  // namespace

size_t WaitObjects::Add(const WaitObject& object) {
    if (!object.IsValid()) {
        throw InvalidArgumentException("WaitObjects::Add: invalid wait object", __FILE__, __LINE__);
    }
    mObjects.push_back(object);
    mAll.push_back(pollfd{object.GetHandle(), POLLIN, 0});
    mPending.reserve(mAll.size());
    return mObjects.size() - 1;
}

void WaitObjects::RemoveAll() {
    mObjects.clear();
    mAll.clear();
    mPending.clear();
}

bool WaitObjects::WaitForAny(unsigned int timeoutMs, unsigned int* index) const {
    if (mObjects.empty()) {
        throw LogicalErrorException("WaitForAny on an empty set", __FILE__, __LINE__);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (PollOnce(mAll, MillisecondsLeft(timeoutMs, deadline)) == 0) {
        return false;
    }
    for (size_t i = 0; i < mAll.size(); ++i) {
        if (mAll[i].revents & POLLIN) {
            if (index) {
                *index = static_cast<unsigned int>(i);
            }
            return true;
        }
    }
    return false;
}

bool WaitObjects::WaitForAll(unsigned int timeoutMs) const {
    if (mObjects.empty()) {
        throw LogicalErrorException("WaitForAll on an empty set", __FILE__, __LINE__);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Which are signalled right now?
        PollOnce(mAll, 0);
        mPending.clear();  // keeps its capacity, which Add made as large as mAll
        for (const pollfd& p : mAll) {
            if (!(p.revents & POLLIN)) {
                mPending.push_back(pollfd{p.fd, POLLIN, 0});
            }
        }
        if (mPending.empty()) {
            return true;
        }
        const int waitMs = MillisecondsLeft(timeoutMs, deadline);
        if (waitMs == 0) {
            return false;
        }
        // Wait for one of the missing ones, then look at the whole set again: events may have
        // been reset meanwhile.
        if (PollOnce(mPending, waitMs) == 0 && MillisecondsLeft(timeoutMs, deadline) == 0) {
            return false;
        }
    }
}

}  // namespace sdk
