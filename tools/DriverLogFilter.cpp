#include "DriverLogFilter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

std::atomic<int> DriverLogFilter::sErrorFd{STDERR_FILENO};

namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<size_t>(written);
    }
}

}  // namespace

DriverLogFilter::~DriverLogFilter() {
    Stop();
}

void DriverLogFilter::Start(bool verbose) {
    mVerbose = verbose;
    int pipeFds[2];
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0) return;
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        close(saved);
        return;
    }
    std::fflush(stderr);
    if (dup2(pipeFds[1], STDERR_FILENO) < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        close(saved);
        return;
    }
    close(pipeFds[1]);
    mReadFd = pipeFds[0];
    sErrorFd = saved;
    mReader = std::thread([this] { Forward(); });
}

void DriverLogFilter::Stop() {
    if (!mReader.joinable()) return;
    std::fflush(stderr);
    const int saved = sErrorFd.load();
    dup2(saved, STDERR_FILENO);  // closes the pipe's last writer: the reader sees its end
    mReader.join();
    close(mReadFd);
    mReadFd = -1;
    sErrorFd = STDERR_FILENO;
    close(saved);
}

void DriverLogFilter::Error(const std::string& text) {
    WriteAll(sErrorFd.load(), "ostravelk-host: " + text + "\n");
}

void DriverLogFilter::Write(const std::string& text) {
    WriteAll(sErrorFd.load(), text);
}

bool DriverLogFilter::Passes(const std::string& line) {
    if (line.find("Sanitizer") != std::string::npos ||
        line.find("runtime error:") != std::string::npos) {
        mPassAll = true;
    }
    if (mVerbose || mPassAll) return true;
    for (const char* mark : {"ERR", "Error", "CRITICAL"}) {
        if (line.find(mark) != std::string::npos) return true;
    }
    return false;
}

void DriverLogFilter::Forward() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(mReadFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            if (Passes(line)) WriteAll(sErrorFd.load(), line);
        }
    }
    if (!pending.empty() && Passes(pending)) WriteAll(sErrorFd.load(), pending + "\n");
}
