#include "sdk/grab/WaitObjectEx.h"

#include <unistd.h>

#include <cstdint>

#include "sdk/genapi/GenericException.h"

namespace sdk {

WaitObjectEx WaitObjectEx::Create(bool signalled) {
    WaitObjectEx object;
    object.mEvent = CreateEvent(signalled);
    return object;
}

void WaitObjectEx::Signal() {
    if (!IsValid()) {
        throw LogicalErrorException("Signal on an invalid wait object", __FILE__, __LINE__);
    }
    const uint64_t one = 1;
    // A full counter (never reached in practice) still reads as signalled, so a failed write
    // needs no handling.
    [[maybe_unused]] ssize_t n = ::write(GetHandle(), &one, sizeof one);
}

void WaitObjectEx::Reset() {
    if (!IsValid()) {
        throw LogicalErrorException("Reset on an invalid wait object", __FILE__, __LINE__);
    }
    uint64_t count = 0;
    // Non-blocking read: drains the counter, or fails with EAGAIN when already reset.
    [[maybe_unused]] ssize_t n = ::read(GetHandle(), &count, sizeof count);
}

}  // namespace sdk
