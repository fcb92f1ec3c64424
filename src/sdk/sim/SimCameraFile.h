#pragma once

#include <string>
#include <vector>

namespace sdk {

// The contents of one simulated camera file ("<serial>.cam"), an INI-like text:
//
//   # comment            ; comment          [section]   (ignored)
//   Class=BaslerGigE     device class, "BaslerGigE" or "BaslerUsb" (required)
//   Model=SV1304-30gm   model name
//   Serial=21000001      serial number (default: the file name without ".cam")
//   Sensor=color         "mono" or "color" ("colour" too); without it a model name whose last
//                        letter is "c" makes a colour (Bayer GR) sensor, any other a mono one
//   ImageFile=images     a picture file, or a directory whose picture files are played in
//                        file-name order and looped, instead of the built-in test pattern; a
//                        relative path starts at the camera file's directory
//   Feature=value        initial value of a feature, e.g. Width=640 or ReverseX=1
//   Feature[Entry]=value initial value of a selected feature for one selector entry, e.g.
//                        GainRaw[All]=100 or TriggerMode[FrameStart]=On
//
// Keys Class, Model, Serial, Sensor and ImageFile are matched ignoring case; feature names
// exactly. Blanks around names and values are dropped. Every line that is neither blank, a
// comment, a section nor used is kept as an unused line with the reason (a later line with the
// same key makes an earlier one unused); the device adds the initial values it does not accept.
class SimCameraFile {
  public:
    struct Setting {
        std::string feature;
        std::string selectorEntry;  // empty: no selector
        std::string value;
        int line = 0;  // 1-based line number in the file
    };
    struct UnusedLine {
        int line = 0;
        std::string text;  // the line without surrounding blanks
        std::string why;
    };
    enum class Sensor { ByModel, Mono, Color };

    // Reads the file; false when it cannot be read or has no valid class.
    bool Load(const std::string& path);
    // Parses text; false when it has no valid class. serialFallback is used without "Serial=",
    // directory is where a relative image path starts.
    bool Parse(const std::string& text, const std::string& serialFallback,
               const std::string& directory = ".");

    // The file as named to Load (empty after Parse alone).
    const std::string& GetPath() const { return mPath; }
    const std::string& GetDeviceClass() const { return mDeviceClass; }
    const std::string& GetModel() const { return mModel; }
    const std::string& GetSerial() const { return mSerial; }
    Sensor GetSensor() const { return mSensor; }
    bool IsColor() const;
    // The picture file or directory with the directory prefixed, or empty.
    const std::string& GetImagePath() const { return mImagePath; }
    const std::vector<Setting>& GetSettings() const { return mSettings; }
    const std::vector<UnusedLine>& GetUnusedLines() const { return mUnused; }
    // "PATH line N: TEXT not used: WHY", the form in which the device logs an unused line.
    std::string Describe(const UnusedLine& unused) const;

  private:
    std::string mPath;
    std::string mDeviceClass;
    std::string mModel;
    std::string mSerial;
    Sensor mSensor = Sensor::ByModel;
    std::string mImagePath;
    std::vector<Setting> mSettings;
    std::vector<UnusedLine> mUnused;
};

}  // namespace sdk
