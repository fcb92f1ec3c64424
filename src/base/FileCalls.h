#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// The system calls through which the driver changes the text or the size of its files (the
// configuration file and the log), in one place so that tests can make any one of them fail the
// way a full or failing disk does.
//
// Threading: any thread. The fault hook is an atomic pointer, meant to be set by a test while no
// file is being written.
class FileCalls {
  public:
    enum class Call { kReserve, kWrite, kTruncate, kSync };
    // Called before each call with which call it is and, for kWrite, the bytes about to be
    // written, which it may lower (a short write). Returns 0 to let the call go on, else the
    // errno the call fails with instead.
    using FaultHook = int (*)(Call call, size_t& size);

    // For tests only; null (the default) removes the hook.
    static void SetFaultHook(FaultHook hook);

    // Writes all of size bytes at offset, going on after short writes and interruptions. False
    // with errno set when a write fails (ENOSPC for a write that makes no progress).
    static bool WriteAll(int fd, const char* data, size_t size, off_t offset);
    static bool WriteAll(int fd, const std::string& text, off_t offset = 0) {
        return WriteAll(fd, text.data(), text.size(), offset);
    }
    // Appends text whole or not at all, under an exclusive advisory lock (flock) on the file: the
    // room is reserved first, and a failed write is undone by cutting the file back to where it
    // ended. False with errno set when nothing was appended.
    static bool Append(int fd, const std::string& text);
    // Allocates the blocks of [offset, offset + size) without changing the file's size, so that
    // writes there cannot run out of room. 0, or the errno: EOPNOTSUPP where the file system
    // cannot reserve.
    static int Reserve(int fd, off_t offset, off_t size);
    // ftruncate and fsync; false with errno set.
    static bool Truncate(int fd, off_t size);
    static bool Sync(int fd);
};
