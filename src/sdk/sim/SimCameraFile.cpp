#include "sdk/sim/SimCameraFile.h"

#include <fstream>
#include <sstream>

#include "sdk/DeviceInfo.h"
#include "sdk/NodeText.h"

namespace sdk {

namespace {

bool SameIgnoringCase(const std::string& a, const char* b) {
    return nodetext::EqualsIgnoringCase(a, b);
}

std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string suffix = ".cam";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        name.resize(name.size() - suffix.size());
    }
    return name;
}

}  // namespace

bool SimCameraFile::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), BaseName(path));
}

bool SimCameraFile::Parse(const std::string& text, const std::string& serialFallback) {
    mDeviceClass.clear();
    mModel.clear();
    mSerial.clear();
    mSettings.clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = nodetext::Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string key = nodetext::Trim(line.substr(0, eq));
        const std::string value = nodetext::Trim(line.substr(eq + 1));
        if (key.empty()) {
            continue;
        }
        if (SameIgnoringCase(key, "Class")) {
            mDeviceClass = value;
        } else if (SameIgnoringCase(key, "Model")) {
            mModel = value;
        } else if (SameIgnoringCase(key, "Serial")) {
            mSerial = value;
        } else {
            Setting setting;
            const auto open = key.find('[');
            if (open != std::string::npos) {
                if (key.back() != ']' || open == 0) {
                    continue;
                }
                setting.selectorEntry = nodetext::Trim(key.substr(open + 1, key.size() - open - 2));
                key = nodetext::Trim(key.substr(0, open));
                if (setting.selectorEntry.empty()) {
                    continue;
                }
            }
            if (key.find_first_of(" \t]") != std::string::npos) {
                continue;
            }
            setting.feature = key;
            setting.value = value;
            mSettings.push_back(setting);
        }
    }
    if (mSerial.empty()) {
        mSerial = serialFallback;
    }
    const bool gige = mDeviceClass == DeviceInfo::kClassGigE;
    const bool usb = mDeviceClass == DeviceInfo::kClassUsb;
    if (mModel.empty()) {
        mModel = gige ? "SV1304-30gm" : "SV1928-40uc";
    }
    return (gige || usb) && !mSerial.empty();
}

bool SimCameraFile::IsColor() const {
    return !mModel.empty() && mModel.back() == 'c';
}

}  // namespace sdk
