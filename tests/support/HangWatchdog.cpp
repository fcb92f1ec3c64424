#include "HangWatchdog.h"

#include <dirent.h>
#include <execinfo.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

pid_t ThisThread() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

void PrintOwnStack(int) {
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    char header[64];
    const int length = std::snprintf(header, sizeof header, "--- thread %d\n", ThisThread());
    if (length > 0) {
        (void)!::write(STDERR_FILENO, header, static_cast<size_t>(length));
    }
    ::backtrace_symbols_fd(frames, count, STDERR_FILENO);
}

// gdb attached to this process prints every thread's stack; false when gdb cannot be run.
bool PrintStacksWithGdb() {
    if (::access("/usr/bin/gdb", X_OK) != 0) {
        return false;
    }
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string pid = std::to_string(::getpid());
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::execl("/usr/bin/gdb", "gdb", "-batch", "-nx", "-p", pid.c_str(), "-ex",
                "thread apply all bt", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    for (int i = 0; i < 1200; ++i) {  // at most 2 minutes
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        ::usleep(100000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return false;
}

}  // namespace

HangWatchdog::HangWatchdog(std::chrono::milliseconds limit)
    : mLimit(limit), mThread([this] { Run(); }) {}

HangWatchdog::~HangWatchdog() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mStop = true;
    }
    mWake.notify_all();
    mThread.join();
}

HangWatchdog::Slot* HangWatchdog::SlotOfThisThread() {
    thread_local HangWatchdog* owner = nullptr;
    thread_local Slot* slot = nullptr;
    if (owner != this) {
        std::lock_guard<std::mutex> lock(mLock);
        mSlots.emplace_back();
        slot = &mSlots.back();
        slot->thread = ThisThread();
        owner = this;
    }
    return slot;
}

HangWatchdog::Call::Call(HangWatchdog& watchdog, const char* what)
    : mSlot(watchdog.SlotOfThisThread()), mOuter(mSlot->sinceNs.load() == 0) {
    if (mOuter) {
        mSlot->what = what;
        mSlot->sinceNs = NowNs();
    }
}

HangWatchdog::Call::~Call() {
    if (mOuter) {
        mSlot->sinceNs = 0;
    }
}

void HangWatchdog::PrintAllStacks() {
    std::fflush(stdout);
    if (PrintStacksWithGdb()) {
        return;
    }
    std::fprintf(stderr, "(gdb not usable: every thread prints its own stack)\n");
    struct sigaction action {};
    action.sa_handler = PrintOwnStack;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR2, &action, nullptr);
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) {
            const int tid = std::atoi(entry->d_name);
            if (tid > 0) {
                ::syscall(SYS_tgkill, ::getpid(), tid, SIGUSR2);
                ::usleep(200000);
            }
        }
        ::closedir(tasks);
    }
}

void HangWatchdog::Run() {
    std::unique_lock<std::mutex> lock(mLock);
    while (!mStop) {
        mWake.wait_for(lock, std::chrono::milliseconds(200));
        const int64_t now = NowNs();
        for (const Slot& slot : mSlots) {
            const int64_t since = slot.sinceNs.load();
            if (since != 0 && now - since > std::chrono::nanoseconds(mLimit).count()) {
                std::fprintf(stderr, "HANG: %s on thread %d has run for more than %lld ms\n",
                             slot.what.load(), slot.thread, static_cast<long long>(mLimit.count()));
                PrintAllStacks();
                std::fflush(stderr);
                std::abort();
            }
        }
    }
}
