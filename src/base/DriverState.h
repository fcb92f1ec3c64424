#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "ostravelk/ostravelk.h"

// The one process-wide record of the driver: where the host keeps its files, the host's debug
// callback, the initialisation count and the logging settings, plus the logging facility.
//
// A line can reach three sinks, each behind its own gate: the debug output (standard error,
// gate mLogDebugView), the host's debug callback and the log file (both gated by mLogLevel; the
// file also needs mLogIntoFile and a system path).
//
// Threading: any thread may log. The settings and the callback are atomics, read without a lock.
// mLogLock (recursive, so a host callback may call back into the driver) guards mSystemPath,
// mIniPath, mPendingLogLines and mDroppedLogLines and is held by Log across the formatting and all
// three sinks, so lines of different threads never interleave.
class DriverState {
  public:
    // Version text reported in the banner of initialize.
    static constexpr const char* kVersionText = "1,5,3,51";
    // Longest text a log line carries; longer texts are cut.
    static constexpr size_t kMaxMessage = 1023;
    // File lines held while there is no system path; later ones are only counted, and the
    // file gets one line with their number after the held ones.
    static constexpr size_t kMaxPendingLines = 2000;

    using DebugOutput = void (*)(const char* text);

    DriverState();
    DriverState(const DriverState&) = delete;
    DriverState& operator=(const DriverState&) = delete;

    // True when a message of this level passes the callback/file gate or the debug-output gate.
    bool IsLogEnabled(int level) const;

    // Writes one message to the sinks whose gates let its level through; never throws.
    void Log(int level, const char* text);
    void Log(int level, const std::string& text) { Log(level, text.c_str()); }

    // Port form: "port" P ": " TAG TEXT ", " WHERE. Tests IsLogEnabled itself.
    void LogPort(int level, int port, const char* tag, const std::string& text, const char* where);

    // Exception form, always level 1: "port" P ": ERR: " OPERATION KIND DETAIL ", " WHERE, where
    // KIND is " Pylon Exception: ", " std Exception: " or " Undefined Exception".
    void LogException(int port, const std::string& operation, const char* kind,
                      const std::string& detail, const char* where);

    // How ReadSettings reads one key of the ini file: path, section, key, default text and the
    // size of the result buffer, as IniFileStore::GetProfileString (the ini module lies above
    // this one, so initialize hands its reader in).
    using ProfileReader = std::string (*)(const std::string& path, const std::string& section,
                                          const std::string& key, const std::string& defaultValue,
                                          size_t bufferSize);

    // Reads "logDebugView" of section "General" from the ini file into mLogDebugView.
    void ReadSettings(ProfileReader readProfileString);
    // Takes "LogLevel", "LogIntoFile" and "InhibitPylonTerminate" from a camera's parameter set:
    // ApplyDriverSettings(parameters, *this) of parameters/DriverSettings.h, which the caller
    // includes (the parameter set lies above this layer; the call is found through the set's type).
    template <typename Parameters>
    void ApplySettings(const Parameters& parameters) {
        ApplyDriverSettings(parameters, *this);
    }

    // Sets the system path; a null or empty path empties it, keeps mIniPath and returns false.
    bool SetSystemPath(const char* path);
    std::string GetSystemPath() const;
    std::string GetIniPath() const;

    // Replaces the debug-output sink (standard error); null restores it.
    void SetDebugOutput(DebugOutput output);

    // "DD/MM/YY hh:mm:ss: " for the given local time.
    static std::string FormatTimeStamp(const std::tm& localTime);

    std::atomic<DebugMsgProc> mDebugMsgProc{nullptr};
    std::atomic<int> mRefCount{0};
    std::atomic<bool> mInhibitPylonTerminate{false};
    std::atomic<int> mLogLevel{2};
    std::atomic<bool> mLogIntoFile{false};
    std::atomic<int> mLogDebugView{1};

  private:
    void WriteToFile(const std::string& stamp, const std::string& message);

    mutable std::recursive_mutex mLogLock;
    std::string mSystemPath;                    // guarded by mLogLock
    std::string mIniPath;                       // guarded by mLogLock
    std::vector<std::string> mPendingLogLines;  // guarded by mLogLock
    uint64_t mDroppedLogLines = 0;              // guarded by mLogLock
    std::atomic<DebugOutput> mDebugOutput{nullptr};
};

// The process-wide driver state, created on first use.
DriverState& GetDriverState();
