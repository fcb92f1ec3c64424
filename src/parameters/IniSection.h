#pragma once

#include <string>

class IniFile;
class Param_;

// One section of the configuration file: the file's path and the section's name. A parameter is
// stored under its mName as key, with its value text (GetValueText) as value; a driver setting
// (mGeneral) goes to the shared section "General" instead of this one.
//
// Reading takes at most 255 characters of a value (IniFile::kValueBufferSize); a missing file,
// section or key leaves the parameter as it is, because its current value text is the default.
//
// Threading: a plain value. The file itself is guarded by IniFileStore's locks.
class IniSection {
  public:
    static constexpr const char* kGeneral = "General";

    IniSection(std::string path, std::string name);

    const std::string& GetPath() const { return mPath; }
    const std::string& GetName() const { return mName; }

    // The section the parameter belongs in: "General" for a driver setting, else this one.
    const std::string& SectionOf(const Param_& parameter) const;

    // Reads the parameter's key from the file on disk / from a file already read.
    void ReadParameter(Param_& parameter) const;
    void ReadParameter(const IniFile& file, Param_& parameter) const;
    // Writes the parameter's key to the file on disk (one atomic update; false when the file
    // cannot be written) / into a file being updated.
    bool WriteParameter(const Param_& parameter) const;
    void WriteParameter(IniFile& file, const Param_& parameter) const;

  private:
    std::string mPath;
    std::string mName;
};
