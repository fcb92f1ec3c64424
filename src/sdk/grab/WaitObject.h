#pragma once

#include <memory>

namespace sdk {

// Something a thread can wait for: a manual-reset event on an eventfd, readable while signalled.
// Copies share the same event. A default-constructed object is invalid (waiting on it throws).
//
// Threading: any thread may wait; WaitObjectEx adds Signal/Reset, also callable from any thread.
class WaitObject {
  public:
    WaitObject() = default;
    virtual ~WaitObject() = default;

    bool IsValid() const { return mEvent != nullptr; }
    // True when signalled within the time (ms, sdk::kInfinite for no limit); false on time-out.
    bool Wait(unsigned int timeoutMs) const;
    // The file descriptor, for poll(); -1 when invalid.
    int GetHandle() const;

  protected:
    class Event;
    // A new event descriptor; throws RuntimeException when none can be made.
    static std::shared_ptr<Event> CreateEvent(bool signalled);

    std::shared_ptr<Event> mEvent;
};

}  // namespace sdk
