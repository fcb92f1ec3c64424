#pragma once

#include <string>

// The Qt application the configuration dialog needs, for hosts with and without one.
//
// A host that runs its own QApplication keeps it; dialogs must then be opened on that
// application's thread. A host without one gets one from the driver, created on the thread of
// the first dialog and kept for the life of the process (it is never deleted, so no static
// destructor or exit handler touches Qt); later dialogs must come from that same thread. The
// process's C locale is restored after the creation, so the host's number formatting stays as
// it was.
//
// Without a display (none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM set) no application is
// created, because Qt would abort the host.
//
// Threading: any thread may call Ensure; creation is serialised by a lock.
class GuiApplication {
  public:
    // True when a QApplication exists or was just created and the calling thread is its thread;
    // otherwise false with the reason in error (the application is left alone).
    static bool Ensure(std::string& error);
    // Whether the environment names a display or a Qt platform plug-in.
    static bool HasDisplay();
    // Whether the driver created the application.
    static bool CreatedByDriver();
};
