#include "parameters/IniSection.h"

#include <utility>

#include "parameters/IniFile.h"
#include "parameters/Param_.h"

namespace {

const std::string& GeneralSection() {
    static const std::string* general = new std::string(IniSection::kGeneral);
    return *general;
}

}  // namespace

IniSection::IniSection(std::string path, std::string name)
    : mPath(std::move(path)), mName(std::move(name)) {}

const std::string& IniSection::SectionOf(const Param_& parameter) const {
    return parameter.mGeneral ? GeneralSection() : mName;
}

void IniSection::ReadParameter(Param_& parameter) const {
    ReadParameter(IniFile::Read(mPath), parameter);
}

void IniSection::ReadParameter(const IniFile& file, Param_& parameter) const {
    const std::string& section = SectionOf(parameter);
    // A present key gives its value whatever the default; only a missing one gives back both
    // defaults. The value is then left exactly as it is: passing it through the reader as the
    // default would trim its blanks and cut it to 255 characters.
    const std::string value =
        file.GetString(section, parameter.mName, "0", IniFile::kValueBufferSize);
    if (value == "0" &&
        file.GetString(section, parameter.mName, "1", IniFile::kValueBufferSize) == "1") {
        return;
    }
    parameter.SetFromText(value);
}

bool IniSection::WriteParameter(const Param_& parameter) const {
    return IniFile::Update(mPath, [&](IniFile& file) { WriteParameter(file, parameter); });
}

void IniSection::WriteParameter(IniFile& file, const Param_& parameter) const {
    file.SetString(SectionOf(parameter), parameter.mName, parameter.GetValueText());
}
