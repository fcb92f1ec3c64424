#pragma once

#include "sdk/grab/WaitObject.h"

namespace sdk {

// A wait object its owner signals and resets.
class WaitObjectEx : public WaitObject {
  public:
    // A new event; throws RuntimeException when the system has no descriptor left.
    static WaitObjectEx Create(bool signalled = false);

    // Signalled stays signalled until Reset, however many waits see it.
    void Signal();
    void Reset();
};

}  // namespace sdk
