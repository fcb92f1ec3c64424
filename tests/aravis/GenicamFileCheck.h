#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Serves one GenICam description as the only camera (GenicamMemoryCamera through the Aravis
// backend) and drives the driver through its exports as a host does: list, open, one single
// grab, continuous grabbing for ten frames, close. Used by the tests and by the table tool.
//
// Threading: one check at a time per process (it initialises and finalises the driver).
class GenicamFileCheck {
  public:
    struct Result {
        std::string file;        // the file name without folder
        bool listed = false;     // the driver listed one camera
        bool opened = false;     // openCVLPort succeeded
        double openSeconds = 0;  // time of openCVLPort
        size_t parameters = 0;   // camera parameters built (driver settings not counted)
        size_t features = 0;     // features under Root, as arv-tool-0.8 features lists them
        std::vector<std::string> errorLines;  // error lines logged while opening
        int applyPasses = 0;                  // passes until "Apply Parameters: Success"; 0: none
        bool singleGrab = false;              // doCVLGrab delivered a frame
        int continuousFrames = 0;  // frames of continuous grabbing (at least ten looked for)
        int glibWarnings = 0;      // GLib warnings and criticals printed meanwhile
    };

    // The check for the file; grabs are skipped when grab is false.
    static Result Run(const std::string& xmlPath, bool grab = true);
    // True for the driver's error lines.
    static bool IsErrorLine(const std::string& line);
};
