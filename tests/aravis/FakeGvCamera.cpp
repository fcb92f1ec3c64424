#include "FakeGvCamera.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace aravistest {

namespace {

constexpr const char* kProgram = "arv-fake-gv-camera-0.8";

bool Executable(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Whether something listens on UDP 127.0.0.1:3956 (the GigE Vision control port).
bool ControlPortBound() {
    std::ifstream udp("/proc/net/udp");
    std::string line;
    std::getline(udp, line);  // header
    while (std::getline(udp, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local == "0100007F:0F74") {
            return true;
        }
    }
    return false;
}

}  // namespace

FakeGvCamera::~FakeGvCamera() {
    Stop();
}

std::string FakeGvCamera::Program() {
    if (const char* env = std::getenv("OSTRAVELK_FAKE_GV_CAMERA")) {
        return Executable(env) ? std::string(env) : std::string();
    }
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && Executable(dir + "/" + kProgram)) {
            return dir + "/" + kProgram;
        }
    }
    return std::string();
}

bool FakeGvCamera::Start(std::string& problem) {
    Stop();
    const std::string program = Program();
    if (program.empty()) {
        problem = std::string(kProgram) + " is not installed (Debian package aravis-tools)";
        return false;
    }
    std::vector<std::string> args = {program, "-i", "127.0.0.1"};
    if (!mOptions.serial.empty()) {
        args.insert(args.end(), {"-s", mOptions.serial});
    }
    if (!mOptions.genicam.empty()) {
        args.insert(args.end(), {"-g", mOptions.genicam});
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        problem = "fork failed";
        return false;
    }
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    mPid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ControlPortBound()) {
            return true;
        }
        int status = 0;
        if (::waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            problem = program + " ended at start";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    problem = program + " did not start listening on 127.0.0.1:3956";
    return false;
}

void FakeGvCamera::Stop() {
    if (mPid <= 0) {
        return;
    }
    ::kill(mPid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (::waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Kill();
}

void FakeGvCamera::Kill() {
    if (mPid <= 0) {
        return;
    }
    ::kill(mPid, SIGKILL);
    int status = 0;
    ::waitpid(mPid, &status, 0);
    mPid = -1;
}

}  // namespace aravistest
