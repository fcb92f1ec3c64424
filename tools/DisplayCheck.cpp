#include "DisplayCheck.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <QGuiApplication>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool DisplayCheck::Available(bool probe, std::string& why) {
    const std::string platform = Environment("QT_QPA_PLATFORM");
    if (platform.rfind("offscreen", 0) == 0 || platform.rfind("minimal", 0) == 0) return true;
    if (Environment("DISPLAY").empty() && Environment("WAYLAND_DISPLAY").empty()) {
        why =
            "no display (DISPLAY and WAYLAND_DISPLAY are not set; QT_QPA_PLATFORM=offscreen "
            "runs without one)";
        return false;
    }
    if (!probe) return true;
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        int argc = 1;
        char name[] = "ostravelk-host";
        char* argv[] = {name, nullptr};
        QGuiApplication application(argc, argv);  // aborts when the display cannot be reached
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        why = "cannot connect to the display \"" +
              Environment(Environment("WAYLAND_DISPLAY").empty() ? "DISPLAY" : "WAYLAND_DISPLAY") +
              "\"";
        return false;
    }
    return true;
}
