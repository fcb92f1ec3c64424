#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GenicamMemoryCamera.h"

// Serves one GenICam description as the only camera (GenicamMemoryCamera through the Aravis
// backend) and drives the driver through its exports as a host does: list, open, one single
// grab, continuous grabbing for ten frames, close, and the same again after a second open. Rows
// read with getCVLGrabRow are compared with the bed's own frame (BedFrame). Used by the tests and
// by the table tool.
//
// Threading: one check at a time per process (it initialises and finalises the driver).
class GenicamFileCheck {
  public:
    // What one open (and the grabs after it) showed.
    struct Open {
        bool opened = false;  // openCVLPort succeeded
        double seconds = 0;   // time of openCVLPort
        int width = 0;        // the size openCVLPort reported
        int height = 0;
        std::vector<std::string> errorLines;  // error lines logged while opening
        int applyPasses = 0;                  // passes until "Apply Parameters: Success"; 0: none
        bool singleGrab = false;              // doCVLGrab delivered a frame
        bool singleRows = false;              // and every row of it equals the bed's frame
        int continuousFrames = 0;  // frames of continuous grabbing (at least ten looked for)
        int badRows = 0;           // rows of continuous frames that differ from the bed's frame
    };

    struct Result {
        std::string file;        // the file name without folder
        std::string failure;     // why the file could not be served; empty when it was
        bool listed = false;     // the driver listed one camera
        int64_t frameWidth = 0;  // the frame the bed serves
        int64_t frameHeight = 0;
        std::string frameFormat;
        size_t parameters = 0;         // camera parameters built (driver settings not counted)
        size_t selected = 0;           // those of them made per selector entry
        size_t features = 0;           // features under Root, as arv-tool-0.8 features lists them
        Open first;                    // the first open
        Open second;                   // the open after closeCVLPort
        int glibWarnings = 0;          // GLib warnings and criticals printed meanwhile
        std::vector<std::string> log;  // every line the driver logged, for a failing check

        // Every check passed on both opens.
        bool Passed() const;
    };

    // Serves the file's camera some other way than in process (over an emulated transport); the
    // camera's registers, kept alive while the returned pointer lives. Throws when it cannot.
    using Serve = std::function<std::shared_ptr<GenicamMemoryCamera>(const std::string& xmlPath)>;

    // The check for the file; grabs are skipped when grab is false. Without serve the file is
    // served in process (GenicamMemorySource).
    static Result Run(const std::string& xmlPath, bool grab = true, const Serve& serve = {});
    // True for the driver's error lines.
    static bool IsErrorLine(const std::string& line);
};
