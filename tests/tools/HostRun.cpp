#include "HostRun.h"

#include <sys/wait.h>

#include <cstdio>

#include "TestSupport.h"

std::vector<std::string> HostResult::ErrorLines() const {
    std::vector<std::string> lines;
    for (size_t begin = 0; begin < err.size();) {
        size_t end = err.find('\n', begin);
        if (end == std::string::npos) end = err.size();
        lines.push_back(err.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

HostResult RunHost(const std::string& arguments, const std::string& prefix,
                   const std::string& input) {
    TempDir scratch;
    HostResult run;
    std::string stdinPath = "/dev/null";
    if (!input.empty()) {
        stdinPath = scratch.File("input");
        WriteFile(stdinPath, input);
    }
    const std::string command = "XDG_CONFIG_HOME=" + Quoted(scratch.File("config")) + " " + prefix +
                                " " + Quoted(OSTRAVELK_HOST) + " --lib " +
                                Quoted(OSTRAVELK_LIBRARY_FILE) + " " + arguments + " <" +
                                Quoted(stdinPath) + " 2>" + Quoted(scratch.File("err"));
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(scratch.File("err"));
    return run;
}
