#pragma once

#include <string>
#include <vector>

namespace sdk {

// The contents of one simulated camera file ("<serial>.cam"), an INI-like text:
//
//   # comment            ; comment          [section]   (ignored)
//   Class=BaslerGigE     device class, "BaslerGigE" or "BaslerUsb" (required)
//   Model=SV1304-30gm   model name; a last letter "c" makes a colour (Bayer GR) sensor, any
//                        other a mono sensor
//   Serial=21000001      serial number (default: the file name without ".cam")
//   Feature=value        initial value of a feature, e.g. Width=640 or ReverseX=1
//   Feature[Entry]=value initial value of a selected feature for one selector entry, e.g.
//                        GainRaw[All]=100 or TriggerMode[FrameStart]=On
//
// Keys Class, Model and Serial are matched ignoring case; feature names exactly. Blanks around
// names and values are dropped. Lines that do not fit are ignored, and so are initial values the
// camera does not accept (unknown feature, bad text, out of range).
class SimCameraFile {
  public:
    struct Setting {
        std::string feature;
        std::string selectorEntry;  // empty: no selector
        std::string value;
    };

    // Reads the file; false when it cannot be read or has no valid class.
    bool Load(const std::string& path);
    // Parses text; false when it has no valid class. serialFallback is used without "Serial=".
    bool Parse(const std::string& text, const std::string& serialFallback);

    const std::string& GetDeviceClass() const { return mDeviceClass; }
    const std::string& GetModel() const { return mModel; }
    const std::string& GetSerial() const { return mSerial; }
    bool IsColor() const;
    const std::vector<Setting>& GetSettings() const { return mSettings; }

  private:
    std::string mDeviceClass;
    std::string mModel;
    std::string mSerial;
    std::vector<Setting> mSettings;
};

}  // namespace sdk
