#pragma once

#include <string>
#include <utility>

#include "base/DriverState.h"
#include "sdk/genapi/NodeAccess.h"

// What the source files of CameraParameters share (CameraParameters.cpp,
// CameraParametersWalk.cpp, CameraParametersApply.cpp, CameraParametersFile.cpp): the option
// names of nested selectors and the shapes of the set's log lines. Internal to those files.
namespace camera_parameters {

// Options of a parameter reached through nested selectors: how many selectors stand around its
// own, and each one's name and entry value, outermost first (suffixed 0, 1, ...).
inline const std::string kOuterSelectors = "OuterSelectors";
inline const std::string kOuterSelectorName = "OuterSelectorName";
inline const std::string kOuterSelectorValue = "OuterSelectorValue";

constexpr const char* kTrace = "trace: ";
constexpr const char* kError = "ERR: ";
constexpr const char* kInfo = "INFO: ";
constexpr const char* kWarning = "Warning: ";

// Logs a port-form line whose text makeText() builds only when the level is enabled.
template <typename MakeText>
void LogLine(int level, int port, const char* tag, const char* where, MakeText&& makeText) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(level)) {
        state.LogPort(level, port, tag, makeText(), where);
    }
}

template <typename MakeText>
void Trace(int port, const char* where, MakeText&& makeText) {
    LogLine(3, port, kTrace, where, std::forward<MakeText>(makeText));
}

template <typename MakeText>
void Error(int port, const char* where, MakeText&& makeText) {
    LogLine(1, port, kError, where, std::forward<MakeText>(makeText));
}

template <typename MakeText>
void Info(int port, const char* where, MakeText&& makeText) {
    LogLine(1, port, kInfo, where, std::forward<MakeText>(makeText));
}

// A level-1 line as it stands: no port, tag or method.
template <typename MakeText>
void Plain(MakeText&& makeText) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(1)) {
        state.Log(1, makeText());
    }
}

inline bool IsReadWrite(sdk::EAccessMode mode) {
    return sdk::IsReadable(mode) && sdk::IsWritable(mode);
}

}  // namespace camera_parameters
