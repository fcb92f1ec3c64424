#pragma once

#include <cstdint>

namespace sdk {

// Turns the block ids a device sends into ids that keep counting up.
//
// GigE Vision block ids of the classic stream protocol are 16 bits wide and skip 0: after 65535
// comes 1. A device that does use 0 makes the counter treat ids as plain 16-bit numbers (after
// 65535 comes 0). The first id after Reset is taken as it is; each later one adds its distance
// from the one before (a repeated id adds nothing, lost frames add their count). Ids above
// 0xFFFF (the extended ids of newer GigE Vision devices, USB3 Vision) are taken as they are.
//
// Threading: none; the stream that owns it serialises the calls.
class BlockIdCounter {
  public:
    void Reset() {
        mStarted = false;
        mZeroSeen = false;
    }

    uint64_t Next(uint64_t raw) {
        if (raw > 0xFFFF) {
            mStarted = false;
            return raw;
        }
        if (raw == 0) {
            mZeroSeen = true;
        }
        if (!mStarted) {
            mStarted = true;
            mLast = raw;
            mValue = raw;
            return mValue;
        }
        const uint64_t period = mZeroSeen ? 0x10000 : 0xFFFF;
        const uint64_t delta = (Position(raw) + period - Position(mLast)) % period;
        mLast = raw;
        mValue += delta;
        return mValue;
    }

    // The id Next returned last (0 before the first).
    uint64_t Last() const { return mValue; }

  private:
    // The id's place in its cycle: 1..65535 become 0..65534 when 0 is never used.
    uint64_t Position(uint64_t id) const { return mZeroSeen ? id : (id + 0xFFFE) % 0xFFFF; }

    bool mStarted = false;
    bool mZeroSeen = false;
    uint64_t mLast = 0;
    uint64_t mValue = 0;
};

}  // namespace sdk
