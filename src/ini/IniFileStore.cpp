#include "ini/IniFileStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "base/FileCalls.h"
#include "base/LinkChain.h"

namespace {

// Times an update opens the file again because another process replaced it while this one
// waited for the lock. Each time means another save completed, so this only bounds a file that
// something outside these locks keeps replacing.
constexpr int kMaxReopens = 10000;

std::mutex& ProcessLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

std::string Reason(const std::string& path, const char* what, int error) {
    return path + ": " + what + ": " + std::generic_category().message(error);
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : mFd(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return mFd; }
    bool Valid() const { return mFd >= 0; }
    void Reset(int fd) {
        Close();
        mFd = fd;
    }
    // Closes now; false (errno set) when the close reported an error.
    bool Close() {
        const int fd = mFd;
        mFd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int mFd;
};

bool Lock(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool ReadAll(int fd, std::string& text) {
    text.clear();
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        text.reserve(static_cast<size_t>(info.st_size));
    }
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        text.append(buffer, static_cast<size_t>(got));
        offset += got;
    }
}

// Makes a rename in the directory durable; a failure here loses nothing already written.
void SyncDirectory(const std::string& directory) {
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        ::fsync(fd.Get());
    }
}

// Gives the unnamed file fd a fresh name target + "." + six random characters; false when the
// file system refuses.
bool LinkUnnamed(int fd, const std::string& target, std::string& name) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<unsigned> counter{0};
    std::mt19937 random(static_cast<unsigned>(::getpid()) * 2654435761u + counter++);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[random() % (sizeof kLetters - 1)];
        }
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

enum class Outcome { kDone, kNotPossible, kFailed };

// Writes text to a temporary file beside target with target's mode, owner and group, and renames
// it over target. kNotPossible (nothing changed) where no such file can be made or given the
// file's identity, or where target has other hard links that a rename would cut off.
Outcome Replace(const std::string& target, const struct stat& info, const std::string& text,
                int& error) {
    if (info.st_nlink != 1) {
        return Outcome::kNotPossible;
    }
    // An unnamed file where the file system has them, so that a save killed while writing
    // leaves nothing behind; it is named beside the target only once complete.
    const std::string directory = LinkChain::DirectoryOf(target);
    std::string name = target + ".XXXXXX";
    bool named = false;
    FileDescriptor temp(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!temp.Valid()) {
        temp.Reset(::mkostemp(name.data(), O_CLOEXEC));
        named = temp.Valid();
    }
    if (!temp.Valid()) {
        return Outcome::kNotPossible;
    }
    struct stat made {};
    Outcome outcome = Outcome::kNotPossible;
    if (::fstat(temp.Get(), &made) == 0 &&
        ((made.st_uid == info.st_uid && made.st_gid == info.st_gid) ||
         ::fchown(temp.Get(), info.st_uid, info.st_gid) == 0) &&
        ::fchmod(temp.Get(), info.st_mode & 07777) == 0) {
        outcome = Outcome::kFailed;
        if (FileCalls::WriteAll(temp.Get(), text) && FileCalls::Sync(temp.Get())) {
            outcome = Outcome::kNotPossible;
            if (!named) {
                named = LinkUnnamed(temp.Get(), target, name);
            }
            if (named && temp.Close() && ::rename(name.c_str(), target.c_str()) == 0) {
                outcome = Outcome::kDone;
            }
        }
        error = errno;
    }
    if (outcome != Outcome::kDone) {
        if (named) {
            ::unlink(name.c_str());
        }
        return outcome;
    }
    SyncDirectory(directory);
    return Outcome::kDone;
}

// Rewrites the open file in place, so that a failure at any point leaves its old text: the room
// for the new text is reserved first, and where a write, the truncation or the sync fails
// afterwards the old text is written back. False with error set when the file could not be
// rewritten; restored tells whether it then holds its old text again.
bool RewriteInPlace(int fd, const std::string& old, const std::string& text, int& error,
                    bool& restored) {
    const auto oldSize = static_cast<off_t>(old.size());
    const auto newSize = static_cast<off_t>(text.size());
    restored = true;
    error = FileCalls::Reserve(fd, 0, newSize);
    if (error == EOPNOTSUPP && newSize > oldSize) {
        // No reservation on this file system: the room is made by writing the new tail first,
        // beyond the old end, where a failure is undone by cutting the file back.
        error = FileCalls::WriteAll(fd, text.data() + old.size(), text.size() - old.size(), oldSize)
                    ? 0
                    : errno;
    } else if (error == EOPNOTSUPP) {
        error = 0;  // shorter text: the blocks of the old one hold it
    }
    if (error != 0) {
        // Nothing of the old text was overwritten; only what lies beyond its end is cut off.
        FileCalls::Truncate(fd, oldSize);
        return false;
    }
    if (FileCalls::WriteAll(fd, text) && FileCalls::Truncate(fd, newSize) && FileCalls::Sync(fd)) {
        return true;
    }
    error = errno;
    // The room of the old text again, which a truncation to a shorter new text gave away; the
    // old text is written back even where that fails, since the file has changed already.
    FileCalls::Reserve(fd, 0, oldSize);
    restored =
        FileCalls::WriteAll(fd, old) && FileCalls::Truncate(fd, oldSize) && FileCalls::Sync(fd);
    return false;
}

// Opens target for reading and writing and takes the exclusive lock, opening again when another
// process replaced the file before the lock was ours. created tells whether the open made it.
bool OpenLocked(const std::string& path, std::string& target, FileDescriptor& fd, struct stat& info,
                bool& created, std::string& error) {
    for (int attempt = 0; attempt < kMaxReopens; ++attempt) {
        created = false;
        fd.Reset(LinkChain::Open(path, O_RDWR, 0, target, error));
        if (!fd.Valid() && errno == ENOENT) {
            fd.Reset(LinkChain::Open(path, O_RDWR | O_CREAT | O_EXCL, 0666, target, error));
            created = fd.Valid();
            if (!fd.Valid() && errno == EEXIST) {
                continue;  // made meanwhile by someone else: open it as it is
            }
        }
        if (!fd.Valid()) {
            return false;
        }
        if (!Lock(fd.Get(), LOCK_EX) || ::fstat(fd.Get(), &info) != 0) {
            error = Reason(path, "cannot lock", errno);
            return false;
        }
        struct stat now {};
        if (::stat(target.c_str(), &now) == 0 && now.st_dev == info.st_dev &&
            now.st_ino == info.st_ino) {
            return true;
        }
    }
    error = path + ": replaced while being opened, again and again";
    return false;
}

}  // namespace

bool IniFileStore::Read(const std::string& path, IniFile& file, std::string& error) {
    std::lock_guard<std::mutex> lock(ProcessLock());
    file = IniFile();
    std::string target;
    FileDescriptor fd(LinkChain::Open(path, O_RDONLY, 0, target, error));
    if (!fd.Valid()) {
        return errno == ENOENT;
    }
    std::string text;
    if (!Lock(fd.Get(), LOCK_SH) || !ReadAll(fd.Get(), text)) {
        error = Reason(path, "cannot read", errno);
        return false;
    }
    file = IniFile::FromText(std::move(text));
    return true;
}

IniFile IniFileStore::Read(const std::string& path) {
    IniFile file;
    std::string error;
    Read(path, file, error);
    return file;
}

bool IniFileStore::Update(const std::string& path, const std::function<void(IniFile&)>& update,
                          std::string* error) {
    std::lock_guard<std::mutex> lock(ProcessLock());
    std::string reason;
    std::string target;
    FileDescriptor fd;
    struct stat info {};
    bool created = false;
    bool ok = false;
    bool restored = true;
    std::string old;
    if (!OpenLocked(path, target, fd, info, created, reason)) {
        // reason tells why
    } else if (!ReadAll(fd.Get(), old)) {
        reason = Reason(path, "cannot read", errno);
    } else {
        IniFile file = IniFile::FromText(old);
        update(file);
        const std::string text = file.ToText();
        int failure = 0;
        if (text == old) {
            ok = true;
        } else {
            switch (Replace(target, info, text, failure)) {
                case Outcome::kDone:
                    ok = true;
                    break;
                case Outcome::kNotPossible:
                    ok = RewriteInPlace(fd.Get(), old, text, failure, restored);
                    break;
                case Outcome::kFailed:
                    break;
            }
        }
        if (!ok) {
            reason = Reason(
                path,
                restored ? "cannot write" : "cannot write, and its old text could not be put back",
                failure);
        }
    }
    if (!ok && created && fd.Valid()) {
        ::unlink(target.c_str());  // the empty file this update made; still locked by us
    }
    if (!ok && error != nullptr) {
        *error = reason;
    }
    return ok;
}

std::string IniFileStore::GetProfileString(const std::string& path, const std::string& section,
                                           const std::string& key, const std::string& defaultValue,
                                           size_t bufferSize) {
    return Read(path).GetString(section, key, defaultValue, bufferSize);
}

bool IniFileStore::WriteProfileString(const std::string& path, const std::string& section,
                                      const std::string& key, const std::string& value) {
    return Update(path, [&](IniFile& file) { file.SetString(section, key, value); });
}
