#pragma once

#include <cstddef>
#include <vector>

#include "sdk/WaitObject.h"

namespace sdk {

// A set of wait objects waited for together.
//
// Threading: Add/RemoveAll from one thread; waits may run on any thread once the set is built.
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
};

}  // namespace sdk
