#pragma once

class ConfigurationTarget;

// Runs the modal configuration dialog for a camera on the calling thread; what
// Camera::Configure(parent) does. parent is the host's QWidget* or null.
//
// 1. Logs "Configure entering". Without a usable Qt application (see GuiApplication: no display,
//    another thread than the application's) logs the reason as an error, logs "Configure leaving"
//    and returns false with the camera untouched.
// 2. Sets the configure flag (cleared again on every way out), remembers whether the camera was
//    grabbing and stops grabbing; the backup set takes the working values.
// 3. Shows the sheet "Configure camera on port #N: NAME" (N = port + 1) with the "General" page.
// 4. OK: the driver takes the logging settings, the working set is saved; grabbing stays stopped;
//    returns true. A save that fails keeps the sheet open with the reason in its status bar; the
//    user may press OK again or cancel.
// 5. Anything else (Cancel, Escape, the close box, a page that failed to initialise): the working
//    set takes the backup values back, is written to the camera in up to 5 passes and read back
//    (and, after an OK whose save failed, gives the driver its logging settings back); grabbing
//    restarts when it was running in continuous mode; returns false.
// 6. Logs "Configure leaving".
// Log lines use the port form with the method "Camera::Configure". Nothing is caught here: an
// exception of a camera action reaches the caller after the configure flag was cleared.
//
// Threading: the thread of the Qt application (or, without one, any thread, which then becomes
// the dialog thread for the rest of the process).
bool RunConfigurationDialog(void* parent, ConfigurationTarget& target);
