#pragma once

#include <string>
#include <vector>

// Runs the sample host program as a user does, through the shell: standard output and standard
// error apart, standard input from a text (empty: /dev/null), and a fresh per-user configuration
// directory (XDG_CONFIG_HOME) unless the prefix sets its own.
struct HostResult {
    int status = -1;  // exit code; -1 when the host did not exit normally (a signal)
    std::string out;
    std::string err;
    // The lines of standard error.
    std::vector<std::string> ErrorLines() const;
};

// prefix goes before the host's path (environment assignments, "cd DIR &&"); the host is told the
// library's file: in a sanitizer build dlopen is intercepted, and the interceptor, not the host,
// becomes the caller whose run path would find the library's SONAME.
HostResult RunHost(const std::string& arguments, const std::string& prefix = "",
                   const std::string& input = "");
// Single-quoted for the shell.
std::string Quoted(const std::string& text);
