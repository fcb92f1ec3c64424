#include "base/LinkChain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

namespace {

// Symbolic links followed before a path counts as a loop, as the kernel does.
constexpr int kMaxLinks = 40;
constexpr uid_t kNoOwner = static_cast<uid_t>(-1);

uid_t OwnerOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_uid : kNoOwner;
}

// Closes fd and returns -1 with errno as it was.
int Fail(int fd, int error) {
    if (fd >= 0) {
        ::close(fd);
    }
    errno = error;
    return -1;
}

}  // namespace

std::string LinkChain::DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool LinkChain::Follow(const std::string& path) {
    mTarget = path;
    mLinks.clear();
    for (int links = 0; links < kMaxLinks; ++links) {
        struct stat info {};
        if (::lstat(mTarget.c_str(), &info) != 0) {
            return errno == ENOENT || errno == ENOTDIR;
        }
        if (!S_ISLNK(info.st_mode)) {
            return true;
        }
        std::vector<char> buffer(info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1
                                                  : size_t{PATH_MAX});
        const ssize_t length = ::readlink(mTarget.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            return false;
        }
        const std::string directory = DirectoryOf(mTarget);
        mLinks.push_back(Link{mTarget, info.st_uid, OwnerOf(directory)});
        const std::string link(buffer.data(), static_cast<size_t>(length));
        mTarget = !link.empty() && link[0] == '/' ? link : directory + "/" + link;
    }
    errno = ELOOP;
    return false;
}

std::string LinkChain::Refusal(const std::string& path, uid_t fileOwner) const {
    const uid_t self = ::geteuid();
    for (const Link& link : mLinks) {
        const bool trusted = link.owner == self || link.owner == fileOwner ||
                             (link.owner == 0 && link.directoryOwner == 0);
        if (!trusted) {
            return path + ": symbolic link " + link.path + " not followed: its owner (uid " +
                   std::to_string(link.owner) + ") is not this user (uid " + std::to_string(self) +
                   ") and does not own " + mTarget + " (uid " + std::to_string(fileOwner) + ")";
        }
    }
    return std::string();
}

int LinkChain::Open(const std::string& path, int flags, mode_t mode, std::string& target,
                    std::string& error) {
    const auto reason = [&](const char* what, int number) {
        error = path + ": " + what + ": " + std::generic_category().message(number);
        return Fail(-1, number);
    };
    LinkChain chain;
    if (!chain.Follow(path)) {
        return reason("cannot follow link", errno);
    }
    target = chain.Target();
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return Fail(-1, EINVAL);
    }
    // Judged before a file is made at the end of a link, so that a refused link creates nothing.
    if ((flags & O_CREAT) != 0) {
        error = chain.Refusal(path, exists ? info.st_uid : ::geteuid());
        if (!error.empty()) {
            return Fail(-1, EACCES);
        }
    }
    const int fd =
        ::open(target.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) {
        return reason((flags & O_ACCMODE) == O_RDONLY ? "cannot open" : "cannot open for writing",
                      errno);
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return Fail(fd, EINVAL);
    }
    error = chain.Refusal(path, info.st_uid);
    if (!error.empty()) {
        return Fail(fd, EACCES);
    }
    return fd;
}
