#pragma once

#include <poll.h>

#include <cstddef>
#include <vector>

#include "sdk/grab/WaitObject.h"

namespace sdk {

// A set of wait objects waited for together. Waiting allocates nothing: the poll() descriptor
// lists are kept in the object and sized when objects are added.
//
// Threading: Add/RemoveAll from one thread; once the set is built, one thread at a time may wait
// on it (the waits share the object's descriptor lists). Threads that wait at the same time need
// sets of their own (copies are fine: they share the events).
class WaitObjects {
  public:
    // Adds a copy (sharing the event); returns its index.
    size_t Add(const WaitObject& object);
    void RemoveAll();
    size_t GetSize() const { return mObjects.size(); }

    // True when some object is signalled within the time, with the lowest signalled index in
    // *index (when index is given); false on time-out. Throws for an empty set.
    bool WaitForAny(unsigned int timeoutMs, unsigned int* index = nullptr) const;
    // True when all objects are signalled at once within the time; false on time-out.
    bool WaitForAll(unsigned int timeoutMs) const;

  private:
    std::vector<WaitObject> mObjects;
    mutable std::vector<pollfd> mAll;      // one entry per object, same order
    mutable std::vector<pollfd> mPending;  // capacity of mAll; the unsignalled ones of a pass
};

}  // namespace sdk
