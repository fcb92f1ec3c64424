#include "sdk/grab/WaitObject.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/grab/CameraTypes.h"

namespace sdk {

// Owns the eventfd; closes it with the last copy.
class WaitObject::Event {
  public:
    explicit Event(int fd) : mFd(fd) {}
    ~Event() { ::close(mFd); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    int Fd() const { return mFd; }

  private:
    int mFd;
};

std::shared_ptr<WaitObject::Event> WaitObject::CreateEvent(bool signalled) {
    const int fd = ::eventfd(signalled ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        throw RuntimeException(std::string("Cannot create wait object: ") + std::strerror(errno),
                               __FILE__, __LINE__);
    }
    return std::make_shared<Event>(fd);
}

int WaitObject::GetHandle() const {
    return mEvent ? mEvent->Fd() : -1;
}

bool WaitObject::Wait(unsigned int timeoutMs) const {
    if (!mEvent) {
        throw LogicalErrorException("Wait on an invalid wait object", __FILE__, __LINE__);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int waitMs = -1;
        if (timeoutMs != kInfinite) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        pollfd p{mEvent->Fd(), POLLIN, 0};
        const int rc = ::poll(&p, 1, waitMs);
        if (rc > 0) {
            return true;
        }
        if (rc == 0) {
            return false;
        }
        if (errno != EINTR) {
            throw RuntimeException(std::string("Wait failed: ") + std::strerror(errno), __FILE__,
                                   __LINE__);
        }
    }
}

}  // namespace sdk
