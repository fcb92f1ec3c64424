// ostravelk-host: a small host that loads the driver with dlopen, as a real host does, and uses
// only the 18 exported functions.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "CommandLine.h"
#include "DisplayCheck.h"
#include "DriverLogFilter.h"
#include "HostDriver.h"
#include "HostSession.h"

namespace {

bool gVerbose = false;

// The driver's log lines for the host (time stamp, then text): on standard error when verbose;
// the lines naming the cameras found tell their class.
void DebugMessage(const char* text) {
    if (!text) return;
    HostSession::NoteLogLine(text);
    if (gVerbose) DriverLogFilter::Write(text);
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The host directory: the one given, which must exist, or the per-user one, created on first
// use. Empty with one line on standard error when neither works.
std::string HostDirectory(const std::string& given) {
    std::error_code error;
    if (!given.empty()) {
        if (!std::filesystem::is_directory(given, error)) {
            DriverLogFilter::Error("--dir " + given + ": no such directory");
            return "";
        }
        return given;
    }
    std::filesystem::path base = Environment("XDG_CONFIG_HOME");
    if (base.empty() || base.is_relative()) {
        if (Environment("HOME").empty()) {
            DriverLogFilter::Error("neither XDG_CONFIG_HOME nor HOME is set: give --dir DIR");
            return "";
        }
        base = std::filesystem::path(Environment("HOME")) / ".config";
    }
    const std::filesystem::path directory = base / "ostravelk";
    std::filesystem::create_directories(directory, error);
    if (!std::filesystem::is_directory(directory)) {
        DriverLogFilter::Error("cannot create the host directory " + directory.string() +
                               (error ? " (" + error.message() + ")" : std::string()));
        return "";
    }
    return directory.string();
}

bool NeedsDisplay(const CommandLine& line) {
    for (const HostCommand& command : line.commands) {
        if (command.name == "view" || command.name == "configure") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!line.Parse(argc, argv)) {
        DriverLogFilter::Error(line.error);
        return 2;
    }
    if (line.action == CommandLine::Action::Help) {
        std::fputs(CommandLine::Usage(), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::Version) {
        std::printf("ostravelk-host %s\n", OSTRAVELK_HOST_VERSION);
        return 0;
    }
    const std::string directory = HostDirectory(line.directory);
    if (directory.empty()) return 2;
    std::string why;
    if (NeedsDisplay(line) && !DisplayCheck::Available(true, why)) {
        DriverLogFilter::Error(why);
        return 1;
    }
    gVerbose = line.verbose;
    std::string library = line.library;
    if (library.empty()) library = Environment("OSTRAVELK_LIBRARY");
    if (library.empty()) library = OSTRAVELK_DEFAULT_LIBRARY;

    DriverLogFilter filter;
    filter.Start(line.verbose);
    HostDriver driver;
    if (!driver.Load(library)) return 1;
    if (!driver.initialize(directory.c_str(), DebugMessage)) {
        DriverLogFilter::Error("the driver did not initialize (host directory " + directory + ")");
        return 1;
    }
    int result = 0;
    {
        HostSession session(driver);
        result = line.action == CommandLine::Action::List ? session.List()
                                                          : session.Run(line.camera, line.commands);
        std::fflush(stdout);
        // The session's windows outlive finalize, which ends the threads that may call them.
        session.Close();
        driver.finalize();
    }
    filter.Stop();
    return result;
}
