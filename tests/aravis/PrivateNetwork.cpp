#include "PrivateNetwork.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace aravistest {

namespace {

constexpr const char* kMarker = "OSTRAVELK_PRIVATE_NETWORK";

bool gInside = false;
std::string gProblem = "EnterPrivateNetwork was not called";

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Brings the loopback interface of the current namespace up.
bool LoopbackUp(std::string& problem) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        problem = Errno("socket");
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags |= IFF_UP | IFF_RUNNING;
        ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    if (!ok) {
        problem = Errno("bringing lo up");
    }
    ::close(fd);
    return ok;
}

// Whether a child process can make a user and network namespace (so "unshare --net
// --map-root-user" will work).
bool ChildCanUnshare(std::string& problem) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        problem = Errno("fork");
        return false;
    }
    if (pid == 0) {
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problem = "user namespaces are not available to this user";
        return false;
    }
    return ::access("/usr/bin/unshare", X_OK) == 0 || (problem = "no /usr/bin/unshare", false);
}

bool Listing(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool EnterPrivateNetwork(int argc, char** argv) {
    if (Listing(argc, argv)) {
        gProblem = "only listing tests";
        return false;
    }
    if (const char* marker = std::getenv(kMarker)) {
        // The second run, already inside "unshare --net".
        (void)marker;
        gInside = LoopbackUp(gProblem);
        return gInside;
    }
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNET) != 0) {
            gProblem = Errno("unshare(CLONE_NEWNET)");
            return false;
        }
        ::setenv(kMarker, "1", 1);
        gInside = LoopbackUp(gProblem);
        return gInside;
    }
    if (!ChildCanUnshare(gProblem)) {
        return false;
    }
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        gProblem = Errno("readlink /proc/self/exe");
        return false;
    }
    ::setenv(kMarker, "1", 1);
    std::vector<char*> args = {const_cast<char*>("/usr/bin/unshare"), const_cast<char*>("--net"),
                               const_cast<char*>("--map-root-user"), self};
    for (int i = 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    gProblem = Errno("exec unshare");
    ::unsetenv(kMarker);
    return false;
}

bool InPrivateNetwork() {
    return gInside;
}

const std::string& PrivateNetworkProblem() {
    return gProblem;
}

}  // namespace aravistest
