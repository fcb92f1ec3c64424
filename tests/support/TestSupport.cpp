#include "TestSupport.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/DriverState.h"
#include "base/FileCalls.h"

namespace {

// No test looks for real cameras on the machine's network unless it asks for them: the real
// backend's own tests run in a private network namespace.
const bool gSimulatorOnly = [] { return setenv("OSTRAVELK_BACKENDS", "sim", 0) == 0; }();

std::mutex gLock;
std::vector<std::string> gRaw;
std::vector<std::string> gDebug;

void OnCallback(const char* text) {
    std::lock_guard<std::mutex> lock(gLock);
    gRaw.push_back(text ? text : "");
}

void OnDebug(const char* text) {
    std::lock_guard<std::mutex> lock(gLock);
    gDebug.push_back(text ? text : "");
}

bool IsStamp(const std::string& text) {
    // "DD/MM/YY hh:mm:ss: "
    return text.size() == 19 && text[2] == '/' && text[5] == '/' && text[17] == ':' &&
           text[18] == ' ';
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostravelk-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    mPath = name.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

LogCapture::LogCapture() {
    Clear();
    GetDriverState().mDebugMsgProc = OnCallback;
    GetDriverState().SetDebugOutput(OnDebug);
}

void (*LogCapture::Callback())(const char*) {
    return OnCallback;
}

LogCapture::~LogCapture() {
    GetDriverState().mDebugMsgProc = nullptr;
    GetDriverState().SetDebugOutput(nullptr);
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard<std::mutex> lock(gLock);
    std::vector<std::string> messages;
    for (const std::string& text : gRaw) {
        if (!IsStamp(text)) {
            messages.push_back(text);
        }
    }
    return messages;
}

std::vector<std::string> LogCapture::DebugLines() const {
    std::lock_guard<std::mutex> lock(gLock);
    return gDebug;
}

std::vector<std::string> LogCapture::Raw() const {
    std::lock_guard<std::mutex> lock(gLock);
    return gRaw;
}

bool LogCapture::Contains(const std::string& text) const {
    return !Matching(text).empty();
}

std::vector<std::string> LogCapture::Matching(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& message : Messages()) {
        if (message.find(text) != std::string::npos) {
            found.push_back(message);
        }
    }
    return found;
}

bool LogCapture::WaitFor(const std::string& text, double seconds) const {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    while (!Contains(text)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(gLock);
    gRaw.clear();
    gDebug.clear();
}

SimCameras::SimCameras() {
    std::string source = std::string(OSTRAVELK_SOURCE_DIR) + "/sim/cameras";
    for (const auto& entry : std::filesystem::directory_iterator(source)) {
        std::filesystem::copy_file(
            entry.path(), std::filesystem::path(mDevices.Path()) / entry.path().filename());
    }
    setenv("OSTRAVELK_SIM_DIR", mDevices.Path().c_str(), 1);
    setenv("OSTRAVELK_BACKENDS", "sim", 1);
}

void SimCameras::Unplug(const std::string& serial) {
    std::filesystem::rename(mDevices.File(serial + ".cam"), mHost.File(serial + ".unplugged"));
}

void SimCameras::Plug(const std::string& serial) {
    std::filesystem::rename(mHost.File(serial + ".unplugged"), mDevices.File(serial + ".cam"));
}

void SimCameras::Add(const std::string& fileName, const std::string& text) {
    WriteFile(mDevices.File(fileName), text);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

std::atomic<int> gFaultCalls{0};
std::atomic<int> gFaultAt{0};
std::atomic<bool> gShortWrite{false};
std::atomic<bool> gShortened{false};
std::atomic<bool> gReservationSupported{true};

int InjectFault(FileCalls::Call call, size_t& size) {
    const int number = ++gFaultCalls;
    if (gShortened.exchange(false)) {
        return ENOSPC;  // the disk is full after a short write
    }
    if (number == gFaultAt) {
        if (gShortWrite && call == FileCalls::Call::kWrite && size > 1) {
            size /= 2;
            gShortened = true;
            return 0;
        }
        return ENOSPC;
    }
    return call == FileCalls::Call::kReserve && !gReservationSupported ? EOPNOTSUPP : 0;
}

}  // namespace

FileFaults::FileFaults() {
    FailAt(0);
    gReservationSupported = true;
    FileCalls::SetFaultHook(InjectFault);
}

FileFaults::~FileFaults() {
    FileCalls::SetFaultHook(nullptr);
}

void FileFaults::FailAt(int call, Fault fault) {
    gFaultCalls = 0;
    gShortened = false;
    gShortWrite = fault == Fault::kShortWrite;
    gFaultAt = call;
}

void FileFaults::SetReservationSupported(bool supported) {
    gReservationSupported = supported;
}

int FileFaults::Calls() const {
    return gFaultCalls;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

namespace {
std::atomic<int> gCompletions{0};
}  // namespace

void CountCompletion(int, int) {
    ++gCompletions;
}

int CompletionCount() {
    return gCompletions;
}

void ResetCompletionCount() {
    gCompletions = 0;
}

int RunInChild(const std::function<int()>& body, double timeoutSeconds) {
    const pid_t child = fork();
    if (child < 0) {
        return -2;
    }
    if (child == 0) {
        int result = 255;
        try {
            result = body();
        } catch (...) {
        }
        _exit(result);
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

namespace {

const passwd* Nobody() {
    return getpwnam("nobody");
}

}  // namespace

std::string WhyNotAsNobody() {
    if (Nobody() == nullptr) {
        return "there is no user \"nobody\"";
    }
    if (geteuid() != 0) {
        return "only root can run code as another user";
    }
    return std::string();
}

uid_t NobodyUid() {
    return Nobody() ? Nobody()->pw_uid : static_cast<uid_t>(-1);
}

gid_t NobodyGid() {
    return Nobody() ? Nobody()->pw_gid : static_cast<gid_t>(-1);
}

int RunAsNobody(const std::function<int()>& body, double timeoutSeconds) {
    const uid_t uid = NobodyUid();
    const gid_t gid = NobodyGid();
    return RunInChild(
        [&] {
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
                return 254;
            }
            return body();
        },
        timeoutSeconds);
}
