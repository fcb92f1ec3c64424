#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

// Fails a test program that hangs: every thread that calls into the driver marks its call with a
// HangWatchdog::Call; when one call has run longer than the limit, the watchdog prints which call
// it is, the stacks of all threads of the process (through gdb when it is installed, otherwise by
// signalling every thread to print its own) and aborts the process.
//
// Threading: Call objects are made on any thread, each thread using a slot of its own; slots are
// added under mLock and never removed while the watchdog lives, and their fields are atomics. The
// watchdog's own thread only reads them.
class HangWatchdog {
    struct Slot {
        std::atomic<int64_t> sinceNs{0};  // steady clock at the call's start; 0: no call
        std::atomic<const char*> what{nullptr};
        pid_t thread = 0;
    };

  public:
    explicit HangWatchdog(std::chrono::milliseconds limit);
    ~HangWatchdog();
    HangWatchdog(const HangWatchdog&) = delete;
    HangWatchdog& operator=(const HangWatchdog&) = delete;

    // Marks the running call of the calling thread for the life of the object. what must outlive
    // the object (a literal). A call inside a call keeps the outer call's start.
    class Call {
      public:
        Call(HangWatchdog& watchdog, const char* what);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

      private:
        Slot* mSlot;
        bool mOuter;
    };

    // Prints the stacks of every thread of this process to standard error.
    static void PrintAllStacks();

  private:
    void Run();
    Slot* SlotOfThisThread();

    const std::chrono::milliseconds mLimit;
    std::mutex mLock;
    std::condition_variable mWake;
    bool mStop = false;       // guarded by mLock
    std::deque<Slot> mSlots;  // guarded by mLock for insertion; never shrinks
    std::thread mThread;
};
