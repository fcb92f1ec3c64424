#include "camera/PropertyValue.h"

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include "base/NoCaseLess.h"
#include "parameters/TextToNumber.h"

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return NoCaseLess::EqualNoCase(a, b);
}

int64_t TruncateToInt64(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 9223372036854775807.0) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value <= -9223372036854775808.0) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(value);
}

}  // namespace

void PropertyValue::SetInt(int32_t value) {
    mInt = value;
    mReal = value;
    mText = std::to_string(value);
}

void PropertyValue::SetInt64(int64_t value) {
    mInt = value;
    mReal = static_cast<double>(value);
    mText = std::to_string(value);
}

void PropertyValue::SetReal(double value) {
    mInt = TruncateToInt64(value);
    mReal = value;
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    mText = text.str();
}

void PropertyValue::SetBool(bool value) {
    mInt = value ? 1 : 0;
    mReal = value ? 1.0 : 0.0;
    mText = value ? "true" : "false";
}

void PropertyValue::SetText(const std::string& value) {
    if (EqualsIgnoringCase(value, "true")) {
        SetBool(true);
    } else if (EqualsIgnoringCase(value, "false")) {
        SetBool(false);
    } else {
        mInt = LeadingInt64(value);
        mReal = LeadingDouble(value);
        mText = value;
    }
}

void PropertyValue::SetEnum(int64_t index, const std::string& entry) {
    mInt = index;
    mReal = 0.0;
    mText = entry;
}

bool PropertyValue::SetFromAssignment(const std::string& argument, std::string& name) {
    size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    name = argument.substr(0, equals);
    SetText(argument.substr(equals + 1));
    return true;
}

bool PropertyValue::IsInteger() const {
    return std::to_string(mInt) == mText;
}
