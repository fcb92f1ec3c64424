#pragma once

#include <string>

#include "camera/DialogModuleInterface.h"

class ConfigurationTarget;

// Runs the configuration dialog from its module, which holds everything that needs Qt's GUI:
// the library loads it (dlopen) on the first dialog and keeps it for the life of the process.
// The module is the file "ostravelk/libostravelk-dialog.so" in the directory of the library
// itself; a program that has the dialog linked in (the test programs) names its entry instead.
//
// A module that is missing, cannot be loaded or is of another build gives one error line
// ("Camera::Configure: ... no configuration dialog: ...") and no dialog; the next call tries
// again, so a module installed meanwhile is found.
//
// Threading: any thread; loading is serialised by a lock. The dialog itself runs on the calling
// thread (see RunConfigurationDialog).
class DialogModule {
  public:
    // Runs the dialog for target: true when the user accepted it. False, with the reason logged,
    // when no module could be had.
    static bool Run(void* parent, ConfigurationTarget& target);
    // Where the library looks for the module.
    static std::string Path();
    // Makes Run call run instead of loading the module (null: load the module again). For
    // programs that link the dialog in.
    static void UseLinkedIn(DialogModuleRunFunction run);
    // Makes Path give file instead (empty: the file beside the library again). A module already
    // loaded stays in use.
    static void UseModuleFile(const std::string& file);
};
