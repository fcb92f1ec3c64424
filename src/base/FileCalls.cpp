#include "base/FileCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<FileCalls::FaultHook> gFaultHook{nullptr};

// 0 to go on, else the errno the hook injects.
int Fault(FileCalls::Call call, size_t& size) {
    const FileCalls::FaultHook hook = gFaultHook.load();
    return hook == nullptr ? 0 : hook(call, size);
}

int Fault(FileCalls::Call call) {
    size_t none = 0;
    return Fault(call, none);
}

}  // namespace

void FileCalls::SetFaultHook(FaultHook hook) {
    gFaultHook.store(hook);
}

bool FileCalls::WriteAll(int fd, const char* data, size_t size, off_t offset) {
    while (size > 0) {
        size_t chunk = size;
        if (const int error = Fault(Call::kWrite, chunk)) {
            errno = error;
            return false;
        }
        const ssize_t written = ::pwrite(fd, data, chunk < size ? chunk : size, offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        offset += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool FileCalls::Append(int fd, const std::string& text) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    const off_t end = info.st_size;
    const int reserved = Reserve(fd, end, static_cast<off_t>(text.size()));
    if (reserved == 0 || reserved == EOPNOTSUPP) {
        if (WriteAll(fd, text, end)) {
            return true;
        }
    } else {
        errno = reserved;
    }
    const int error = errno;
    Truncate(fd, end);
    errno = error;
    return false;
}

int FileCalls::Reserve(int fd, off_t offset, off_t size) {
    if (const int error = Fault(Call::kReserve)) {
        return error;
    }
    if (size <= 0) {
        return 0;
    }
    while (::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == ENOSYS ? EOPNOTSUPP : errno;
    }
    return 0;
}

bool FileCalls::Truncate(int fd, off_t size) {
    if (const int error = Fault(Call::kTruncate)) {
        errno = error;
        return false;
    }
    while (::ftruncate(fd, size) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool FileCalls::Sync(int fd) {
    if (const int error = Fault(Call::kSync)) {
        errno = error;
        return false;
    }
    return ::fsync(fd) == 0;
}
