#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

// Keeps the driver's log off the host's output. The driver (and the libraries under it) write
// their log lines to standard error; the filter puts a pipe in place of standard error and passes
// on only error lines ("ERR", "Error", "ERROR", "CRITICAL"), or every line when verbose. From a
// sanitizer report on, every line passes. The host's own messages go through Error(), straight
// to the original standard error.
//
// Threading: Start and Stop on the main thread, once each; Error from any thread. A reader thread
// forwards the pipe's lines while the filter runs.
class DriverLogFilter {
  public:
    DriverLogFilter() = default;
    ~DriverLogFilter();
    DriverLogFilter(const DriverLogFilter&) = delete;
    DriverLogFilter& operator=(const DriverLogFilter&) = delete;

    // Without a pipe (or when standard error is closed) the lines are left alone.
    void Start(bool verbose);
    // Puts standard error back and forwards what is still in the pipe.
    void Stop();

    // The host's own message: "ostravelk-host: " TEXT on one line of the original standard error.
    static void Error(const std::string& text);
    // The original standard error, for the driver's lines a verbose host forwards itself.
    static void Write(const std::string& text);

  private:
    void Forward();
    bool Passes(const std::string& line);

    static std::atomic<int> sErrorFd;
    int mReadFd = -1;
    bool mVerbose = false;
    bool mPassAll = false;
    std::thread mReader;
};
