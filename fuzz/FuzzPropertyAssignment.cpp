// libFuzzer target: arbitrary bytes as the argument of the "set" command ("NAME=VALUE") and as a
// property value text.
//
// Checks the split (NAME is everything before the first "=", nothing changes without one) and
// the three forms SetText makes: the words "true"/"false" in any case, otherwise the text kept
// as it is with its leading integer and real number.

#include <cstddef>
#include <cstdint>
#include <string>
#include <strings.h>

#include "camera/PropertyValue.h"
#include "parameters/TextToNumber.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    PropertyValue value;
    value.SetText(text);
    if (strcasecmp(text.c_str(), "true") == 0 && text.size() == 4) {
        Check(value.mInt == 1 && value.mText == "true");
    } else if (strcasecmp(text.c_str(), "false") == 0 && text.size() == 5) {
        Check(value.mInt == 0 && value.mText == "false");
    } else {
        Check(value.mText == text);
        Check(value.mInt == LeadingInt64(text));
    }
    Check(value.IsInteger() == (std::to_string(value.mInt) == value.mText));

    PropertyValue assigned;
    assigned.SetInt(7);
    std::string name = "unchanged";
    const size_t equals = text.find('=');
    if (assigned.SetFromAssignment(text, name)) {
        Check(equals != std::string::npos);
        Check(name == text.substr(0, equals));
        Check(name.find('=') == std::string::npos);
    } else {
        Check(equals == std::string::npos);
        Check(name == "unchanged" && assigned.mInt == 7 && assigned.mText == "7");
    }
    return 0;
}
