#include "base/DriverState.h"

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "base/FileCalls.h"
#include "base/LinkChain.h"

namespace {

void WriteToStandardError(const char* text) {
    size_t length = std::strlen(text);
    if (length == 0) {
        return;
    }
    std::fwrite(text, 1, length, stderr);
    if (text[length - 1] != '\n') {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

}  // namespace

DriverState::DriverState() = default;

DriverState& GetDriverState() {
    // Never destroyed: image queue and reopen threads may still log while the process exits.
    static DriverState* state = new DriverState();
    return *state;
}

bool DriverState::IsLogEnabled(int level) const {
    return mLogLevel.load() >= level || mLogDebugView.load() >= level;
}

std::string DriverState::FormatTimeStamp(const std::tm& t) {
    char stamp[128];
    std::snprintf(stamp, sizeof stamp, "%.2d/%.2d/%.2d %.2d:%.2d:%.2d: ", t.tm_mday, t.tm_mon + 1,
                  t.tm_year % 100, t.tm_hour, t.tm_min, t.tm_sec);
    return stamp;
}

void DriverState::Log(int level, const char* text) {
    try {
        int logLevel = mLogLevel.load();
        int debugView = mLogDebugView.load();
        if (logLevel < level && debugView < level) {
            return;
        }
        std::lock_guard<std::recursive_mutex> lock(mLogLock);

        std::string message(text ? text : "");
        if (message.size() > kMaxMessage) {
            message.resize(kMaxMessage);
        }
        if (!message.empty() && message.size() <= kMaxMessage - 2 && message.back() != '\n') {
            message.push_back('\n');
        }

        if (debugView >= level) {
            DebugOutput output = mDebugOutput.load();
            (output ? output : WriteToStandardError)(message.c_str());
        }
        if (logLevel < level) {
            return;
        }

        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::string stamp = FormatTimeStamp(local);

        if (DebugMsgProc proc = mDebugMsgProc.load()) {
            proc(stamp.c_str());
            proc(message.c_str());
        }
        if (!mLogIntoFile.load()) {
            return;
        }
        WriteToFile(stamp, message);
    } catch (...) {
        // Logging never throws to its caller; a line that cannot be produced is lost.
    }
}

void DriverState::WriteToFile(const std::string& stamp, const std::string& message) {
    if (mSystemPath.empty()) {
        // Held for the file that may come, but not without limit: a driver that runs long
        // without a system path would keep every line it ever logged.
        if (mPendingLogLines.size() < kMaxPendingLines) {
            mPendingLogLines.push_back(stamp + message);
        } else {
            ++mDroppedLogLines;
        }
        return;
    }
    const std::string path = mSystemPath + "/Ostravelk.log";
    // Anything but a regular file (a pipe, a device) and a link someone else planted count as a
    // file that cannot be opened; a pipe is not even waited for.
    std::string target;
    std::string error;
    const int fd = LinkChain::Open(path, O_WRONLY | O_CREAT, 0666, target, error);
    if (fd < 0) {
        return;
    }
    std::string text;
    for (const std::string& line : mPendingLogLines) {
        text += line;
    }
    if (mDroppedLogLines > 0) {
        text += stamp;
        text += std::to_string(mDroppedLogLines) +
                " log lines dropped while there was no system path\n";
    }
    text += stamp;
    text += message;
    // A line that cannot be written whole is lost whole; pending lines then wait for the next.
    if (FileCalls::Append(fd, text)) {
        mPendingLogLines.clear();
        mDroppedLogLines = 0;
    }
    close(fd);
}

void DriverState::LogPort(int level, int port, const char* tag, const std::string& text,
                          const char* where) {
    if (!IsLogEnabled(level)) {
        return;
    }
    std::string line = "port" + std::to_string(port) + ": " + (tag ? tag : "") + text + ", " +
                       (where ? where : "");
    Log(level, line);
}

void DriverState::LogException(int port, const std::string& operation, const char* kind,
                               const std::string& detail, const char* where) {
    if (!IsLogEnabled(1)) {
        return;
    }
    std::string line = "port" + std::to_string(port) + ": ERR: " + operation + kind + detail +
                       ", " + (where ? where : "");
    Log(1, line);
}

void DriverState::ReadSettings(ProfileReader readProfileString) {
    std::string iniPath = GetIniPath();
    int value = 1;
    if (!iniPath.empty()) {
        std::string text = readProfileString(iniPath, "General", "logDebugView", "1", 128);
        value = std::atoi(text.c_str());
    }
    mLogDebugView = value;
}

bool DriverState::SetSystemPath(const char* path) {
    std::lock_guard<std::recursive_mutex> lock(mLogLock);
    if (!path || !*path) {
        mSystemPath.clear();
        return false;
    }
    mSystemPath = path;
    mIniPath = mSystemPath + "/Ostravelk.ini";
    return true;
}

std::string DriverState::GetSystemPath() const {
    std::lock_guard<std::recursive_mutex> lock(mLogLock);
    return mSystemPath;
}

std::string DriverState::GetIniPath() const {
    std::lock_guard<std::recursive_mutex> lock(mLogLock);
    return mIniPath;
}

void DriverState::SetDebugOutput(DebugOutput output) {
    mDebugOutput = output;
}
