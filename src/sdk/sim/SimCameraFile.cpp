#include "sdk/sim/SimCameraFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include "sdk/nodes/NodeText.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

namespace {

using nodetext::EqualsIgnoringCase;
using nodetext::TrimView;

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

    void Set(std::string_view v, int at, std::string_view lineText,
             std::vector<SimCameraFile::UnusedLine>& unused) {
        if (line != 0) {
            unused.push_back({line, std::move(text), "replaced by line " + std::to_string(at)});
        }
        value.assign(v);
        line = at;
        text.assign(lineText);
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
    // Lines end at "\n" (a "\r" before it is a blank and trimmed); a last line without one
    // counts, an empty piece after the last "\n" does not. Lines and their parts are views into
    // text until a setting or an unused line keeps them.
    const std::string_view all(text);
    int number = 0;
    for (size_t begin = 0; begin < all.size();) {
        const size_t newLine = std::min(all.find('\n', begin), all.size());
        const std::string_view line = TrimView(all.substr(begin, newLine - begin));
        begin = newLine + 1;
        ++number;
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') {
            continue;
        }
        auto unused = [&](const char* why) { mUnused.push_back({number, std::string(line), why}); };
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            unused("no \"=\"");
            continue;
        }
        std::string_view key = TrimView(line.substr(0, eq));
        const std::string_view value = TrimView(line.substr(eq + 1));
        if (key.empty()) {
            unused("no name before \"=\"");
            continue;
        }
        if (EqualsIgnoringCase(key, "Class")) {
            deviceClass.Set(value, number, line, mUnused);
        } else if (EqualsIgnoringCase(key, "Model")) {
            model.Set(value, number, line, mUnused);
        } else if (EqualsIgnoringCase(key, "Serial")) {
            serial.Set(value, number, line, mUnused);
        } else if (EqualsIgnoringCase(key, "Sensor")) {
            if (EqualsIgnoringCase(value, "mono") || EqualsIgnoringCase(value, "color") ||
                EqualsIgnoringCase(value, "colour")) {
                sensor.Set(value, number, line, mUnused);
            } else {
                unused("value not accepted (mono or color)");
            }
        } else if (EqualsIgnoringCase(key, "ImageFile")) {
            if (value.empty()) {
                unused("no file named");
            } else {
                image.Set(value, number, line, mUnused);
            }
        } else {
            std::string_view selectorEntry;
            const auto open = key.find('[');
            if (open != std::string_view::npos) {
                if (key.back() != ']' || open == 0) {
                    unused("malformed selector entry (Feature[Entry]=value)");
                    continue;
                }
                selectorEntry = TrimView(key.substr(open + 1, key.size() - open - 2));
                key = TrimView(key.substr(0, open));
                if (selectorEntry.empty()) {
                    unused("empty selector entry");
                    continue;
                }
            }
            if (key.find_first_of(" \t[]") != std::string_view::npos) {
                unused("not a feature name");
                continue;
            }
            mSettings.push_back(
                {std::string(key), std::string(selectorEntry), std::string(value), number});
        }
    }
    mDeviceClass = std::move(deviceClass.value);
    mModel = std::move(model.value);
    mSerial = serial.value.empty() ? serialFallback : std::move(serial.value);
    if (!sensor.value.empty()) {
        mSensor = EqualsIgnoringCase(sensor.value, "mono") ? Sensor::Mono : Sensor::Color;
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
    const std::string_view path = mPath.empty() ? std::string_view("camera file") : mPath;
    const std::string number = std::to_string(unused.line);
    const std::string_view parts[] = {path,        " line ",        number,    ": \"",
                                      unused.text, "\" not used: ", unused.why};
    size_t size = 0;
    for (const std::string_view part : parts) {
        size += part.size();
    }
    std::string text;
    text.reserve(size);
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

}  // namespace sdk
