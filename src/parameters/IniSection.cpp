#include "parameters/IniSection.h"

#include <utility>

#include "ini/IniFile.h"
#include "ini/IniFileStore.h"
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
    ReadParameter(IniFileStore::Read(mPath), parameter);
}

void IniSection::ReadParameter(const IniFile& file, Param_& parameter) const {
    const std::string& section = SectionOf(parameter);
    // A missing key leaves the value exactly as it is: passing it through the reader as the
    // default would trim its blanks and cut it to 255 characters.
    std::string value;
    if (file.Lookup(section, parameter.mName, value, IniFile::kValueBufferSize)) {
        parameter.SetFromText(value);
    }
}

bool IniSection::WriteParameter(const Param_& parameter) const {
    return IniFileStore::Update(mPath, [&](IniFile& file) { WriteParameter(file, parameter); });
}

void IniSection::WriteParameter(IniFile& file, const Param_& parameter) const {
    file.SetString(SectionOf(parameter), parameter.mName, parameter.GetValueText());
}
