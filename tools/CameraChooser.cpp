#include "CameraChooser.h"

#include "ValueText.h"

std::string CameraChooser::Serial(const std::string& name) {
    const size_t open = name.rfind(" (");
    if (open == std::string::npos || name.empty() || name.back() != ')') return "";
    return name.substr(open + 2, name.size() - open - 3);
}

std::string CameraChooser::Model(const std::string& name) {
    const size_t open = name.rfind(" (");
    return Serial(name).empty() ? name : name.substr(0, open);
}

bool CameraChooser::Choose(const std::vector<std::string>& names, const std::string& wanted,
                           std::string& chosen, std::string& error) {
    for (const std::string& name : names) {
        if (name == wanted) {
            chosen = name;
            return true;
        }
    }
    std::vector<std::string> matches;
    for (const std::string& name : names) {
        if (ValueText::EqualNoCase(name, wanted) || ValueText::EqualNoCase(Serial(name), wanted)) {
            matches.push_back(name);
        }
    }
    if (matches.empty() && !wanted.empty()) {
        for (const std::string& name : names) {
            if (ValueText::ContainsNoCase(name, wanted)) matches.push_back(name);
        }
    }
    if (matches.size() == 1) {
        chosen = matches[0];
        return true;
    }
    if (matches.empty()) {
        error = "no camera matches \"" + wanted + "\" (" + std::to_string(names.size()) +
                " camera(s) found; \"list\" shows them)";
        return false;
    }
    error = "\"" + wanted + "\" matches " + std::to_string(matches.size()) + " cameras:";
    for (size_t i = 0; i < matches.size(); ++i) {
        error += (i ? ", \"" : " \"") + matches[i] + "\"";
    }
    error += "; give more of the name or the serial";
    return false;
}
