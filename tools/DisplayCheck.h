#pragma once

#include <string>

// Whether the windows of view and configure can be shown. Without a display Qt would abort the
// whole process; the host says so in one line instead.
struct DisplayCheck {
    // QT_QPA_PLATFORM offscreen/minimal, or DISPLAY / WAYLAND_DISPLAY set. With probe (only
    // before the driver starts threads) a child process also connects to the display once.
    // False with the reason.
    static bool Available(bool probe, std::string& why);
};
