#include "sdk/sim/SimCameraFile.h"

#include <fstream>
#include <sstream>

#include "sdk/nodes/NodeText.h"
#include "sdk/transport/DeviceInfo.h"

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

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// One identity key (Class, Model, ...): its value and where it was set; a later line with the
// same key makes the earlier one unused.
struct Key {
    std::string value;
    int line = 0;
    std::string text;

    void Set(const std::string& v, int at, const std::string& lineText,
             std::vector<SimCameraFile::UnusedLine>& unused) {
        if (line != 0) {
            unused.push_back({line, text, "replaced by line " + std::to_string(at)});
        }
        value = v;
        line = at;
        text = lineText;
    }
};

}  // namespace

bool SimCameraFile::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const bool ok = Parse(text.str(), BaseName(path), DirectoryOf(path));
    mPath = path;
    return ok;
}

bool SimCameraFile::Parse(const std::string& text, const std::string& serialFallback,
                          const std::string& directory) {
    mPath.clear();
    mDeviceClass.clear();
    mModel.clear();
    mSerial.clear();
    mSensor = Sensor::ByModel;
    mImagePath.clear();
    mSettings.clear();
    mUnused.clear();
    Key deviceClass, model, serial, sensor, image;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        line = nodetext::Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') {
            continue;
        }
        auto unused = [&](const std::string& why) { mUnused.push_back({number, line, why}); };
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            unused("no \"=\"");
            continue;
        }
        std::string key = nodetext::Trim(line.substr(0, eq));
        const std::string value = nodetext::Trim(line.substr(eq + 1));
        if (key.empty()) {
            unused("no name before \"=\"");
            continue;
        }
        if (SameIgnoringCase(key, "Class")) {
            deviceClass.Set(value, number, line, mUnused);
        } else if (SameIgnoringCase(key, "Model")) {
            model.Set(value, number, line, mUnused);
        } else if (SameIgnoringCase(key, "Serial")) {
            serial.Set(value, number, line, mUnused);
        } else if (SameIgnoringCase(key, "Sensor")) {
            if (SameIgnoringCase(value, "mono") || SameIgnoringCase(value, "color") ||
                SameIgnoringCase(value, "colour")) {
                sensor.Set(value, number, line, mUnused);
            } else {
                unused("value not accepted (mono or color)");
            }
        } else if (SameIgnoringCase(key, "ImageFile")) {
            if (value.empty()) {
                unused("no file named");
            } else {
                image.Set(value, number, line, mUnused);
            }
        } else {
            Setting setting;
            setting.line = number;
            const auto open = key.find('[');
            if (open != std::string::npos) {
                if (key.back() != ']' || open == 0) {
                    unused("malformed selector entry (Feature[Entry]=value)");
                    continue;
                }
                setting.selectorEntry = nodetext::Trim(key.substr(open + 1, key.size() - open - 2));
                key = nodetext::Trim(key.substr(0, open));
                if (setting.selectorEntry.empty()) {
                    unused("empty selector entry");
                    continue;
                }
            }
            if (key.find_first_of(" \t[]") != std::string::npos) {
                unused("not a feature name");
                continue;
            }
            setting.feature = key;
            setting.value = value;
            mSettings.push_back(setting);
        }
    }
    mDeviceClass = deviceClass.value;
    mModel = model.value;
    mSerial = serial.value.empty() ? serialFallback : serial.value;
    if (!sensor.value.empty()) {
        mSensor = SameIgnoringCase(sensor.value, "mono") ? Sensor::Mono : Sensor::Color;
    }
    if (!image.value.empty()) {
        mImagePath = image.value[0] == '/' ? image.value : directory + "/" + image.value;
    }
    const bool gige = mDeviceClass == DeviceInfo::kClassGigE;
    const bool usb = mDeviceClass == DeviceInfo::kClassUsb;
    if (mModel.empty()) {
        mModel = gige ? "SV1304-30gm" : "SV1928-40uc";
    }
    if (deviceClass.line != 0 && !gige && !usb) {
        mUnused.push_back({deviceClass.line, deviceClass.text,
                           std::string("unknown device class (") + DeviceInfo::kClassGigE + " or " +
                               DeviceInfo::kClassUsb + ")"});
    }
    return (gige || usb) && !mSerial.empty();
}

bool SimCameraFile::IsColor() const {
    if (mSensor != Sensor::ByModel) {
        return mSensor == Sensor::Color;
    }
    return !mModel.empty() && mModel.back() == 'c';
}

std::string SimCameraFile::Describe(const UnusedLine& unused) const {
    return (mPath.empty() ? std::string("camera file") : mPath) + " line " +
           std::to_string(unused.line) + ": \"" + unused.text + "\" not used: " + unused.why;
}

}  // namespace sdk
