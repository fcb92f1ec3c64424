#include "PropertyCatalog.h"

#include <cstdint>
#include <vector>

#include "HostDriver.h"
#include "ValueText.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t begin = 0;;) {
        const size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
        if (end == std::string::npos) return parts;
        begin = end + 1;
    }
}

bool IsNumeric(const std::string& type) {
    return type == "int" || type == "int64" || type == "float";
}

}  // namespace

bool PropertyCatalog::Load(HostDriver& driver, int port, std::string& error) {
    mProperties.clear();
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const std::string start = std::to_string(mProperties.size());
        if (!driver.execCmd(0, port, "list", start.c_str(), buffer.data(),
                            static_cast<unsigned>(buffer.size()))) {
            if (buffer.size() >= (1u << 24)) {
                error = "the driver does not list the camera's properties (execCmd \"list\")";
                return false;
            }
            buffer.resize(buffer.size() * 4);  // a line longer than the buffer
            continue;
        }
        const std::string page = buffer.data();
        if (page.empty()) return true;
        for (const std::string& line : Split(page.substr(0, page.size() - 1), '\n')) {
            const std::vector<std::string> fields = Split(line, '\t');
            if (fields.size() < 6) continue;
            Property property;
            property.name = fields[0];
            property.type = fields[1];
            property.access = fields[2];
            property.value = fields[3];
            property.limits = fields[4];
            property.description = fields[5];
            if (property.type == "enum" && !property.limits.empty()) {
                property.entries = Split(property.limits, ',');
            }
            const size_t dots = property.limits.find("..");
            if (IsNumeric(property.type) && property.limits.size() > 4 &&
                dots != std::string::npos) {
                property.hasRange =
                    ValueText::ParseReal(property.limits.substr(1, dots - 1), property.min) &&
                    ValueText::ParseReal(
                        property.limits.substr(dots + 2, property.limits.size() - dots - 3),
                        property.max);
            }
            mProperties.push_back(property);
        }
    }
}

const PropertyCatalog::Property* PropertyCatalog::Find(const std::string& name) const {
    for (const Property& property : mProperties) {
        if (ValueText::EqualNoCase(property.name, name)) return &property;
    }
    return nullptr;
}

std::string PropertyCatalog::Unknown(const std::string& name) const {
    std::string similar;
    int count = 0;
    for (const Property& property : mProperties) {
        if (ValueText::ContainsNoCase(property.name, name) && ++count <= 5) {
            similar += (similar.empty() ? "" : ", ") + property.name;
        }
    }
    std::string text = "no property \"" + name + "\" on this camera";
    if (count > 0) {
        return text + " (did you mean " + similar + (count > 5 ? ", ..." : "") + "?)";
    }
    return text + " (\"features\" lists the names)";
}

bool PropertyCatalog::OutOfRange(const Property& property, const std::string& text) {
    double value = 0.0;
    return property.hasRange && ValueText::ParseReal(text, value) &&
           (value < property.min || value > property.max);
}

bool PropertyCatalog::Check(const Property& property, const std::string& text,
                            std::string& driverText, std::string& error) {
    const std::string what = property.name + ": ";
    if (property.access == "ro") {
        error = what + "read-only";
        return false;
    }
    driverText = text;
    if (property.type == "int" || property.type == "int64") {
        int64_t value = 0;
        if (!ValueText::ParseInteger(text, value)) {
            error = what + "\"" + text + "\" is not a whole number";
            return false;
        }
        if (property.type == "int" && (value < INT32_MIN || value > INT32_MAX)) {
            error = what + text + " does not fit into 32 bits";
            return false;
        }
    } else if (property.type == "float") {
        double value = 0.0;
        if (!ValueText::ParseReal(text, value)) {
            error = what + "\"" + text + "\" is not a number";
            return false;
        }
    } else if (property.type == "bool") {
        bool value = false;
        if (!ValueText::ParseBool(text, value)) {
            error = what + "\"" + text + "\" is not 1/0, true/false, on/off";
            return false;
        }
        driverText = value ? "1" : "0";
    } else if (property.type == "enum") {
        for (const std::string& entry : property.entries) {
            if (ValueText::EqualNoCase(entry, text)) {
                driverText = entry;
                return true;
            }
        }
        error = what + "\"" + text + "\" is not one of " + property.limits;
        return false;
    }
    return true;
}
