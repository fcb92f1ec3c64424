#pragma once

#include <string>
#include <vector>

// Picks one of the driver's camera names ("Model (Serial)") from what a user typed: the exact
// name, else the name or the serial ignoring case, else the one name that contains the text
// (ignoring case).
struct CameraChooser {
    // The serial of a "Model (Serial)" name; empty for a name of another form.
    static std::string Serial(const std::string& name);
    // The model of a "Model (Serial)" name; the whole name for another form.
    static std::string Model(const std::string& name);
    // True with the chosen name; false with one line saying why (none or several match).
    static bool Choose(const std::vector<std::string>& names, const std::string& wanted,
                       std::string& chosen, std::string& error);
};
