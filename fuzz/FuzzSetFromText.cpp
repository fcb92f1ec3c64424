// libFuzzer target: arbitrary bytes as the text of every parameter type.
//
// Besides running the conversions under the sanitizers, it checks them against the C library:
// the integer readers must agree with strtoll (which saturates where atoi would overflow), the real
// reader with strtod, and every value must read back unchanged from its own text.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

template <typename T>
T Clamp(long long value) {
    if (value < static_cast<long long>(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (value > static_cast<long long>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(value);
}

bool SameReal(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Sets the value from the text, then checks the value's own text reads back to the same value
// and that the other text operations hold together.
template <typename T>
Param<T> Exercise(const std::string& text, std::ostream& out) {
    Param<T> parameter("Fuzz", "P", T(), T(), T(), T());
    parameter.SetFromText(text);
    const std::string valueText = parameter.GetValueText();
    Param<T> again("Fuzz", "P", T(), T(), T(), T());
    again.SetFromText(valueText);
    if constexpr (std::is_same<T, double>::value) {
        Check(SameReal(again.mValue, parameter.mValue));
    } else {
        Check(again.mValue == parameter.mValue);
    }
    parameter.mMin = again.mValue;
    parameter.mMax = again.mValue;
    parameter.GetRangeText();
    parameter.WriteValue(out);
    parameter.WriteRange(out);
    if constexpr (!std::is_same<T, double>::value) {
        Check(parameter.IsInRange());
    }
    return parameter;
}

void ExerciseEnum(const std::string& text) {
    ParamEnum parameter("Fuzz", "Mode", "");
    parameter.AddEntry("Off", 0);
    parameter.AddEntry("On", 1);
    parameter.AddEntry("Once", -7);
    parameter.SetFromText(text);
    const std::string stored = parameter.mValue;
    Check(stored == text.c_str());
    const bool isEntry = stored == "Off" || stored == "On" || stored == "Once";
    Check(parameter.IsInRange() == isEntry);
    Check(parameter.GetIndex() >= 0 && parameter.GetIndex() < 3);
    if (isEntry) {
        parameter.SetIntValue(parameter.GetIntValue());
        Check(parameter.mValue == stored);
    } else {
        Check(parameter.GetIntValue() == 0);
    }
    Check(parameter.GetEntryValue(text.c_str()) == (isEntry ? parameter.GetIntValue() : 0));
    parameter.GetValueText();
    parameter.GetRangeText();
    parameter.Clone();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The C library reads the text up to its first NUL, in the "C" locale the fuzzer runs in.
    const char* terminated = text.c_str();
    const long long reference = std::strtoll(terminated, nullptr, 10);

    std::ostringstream out;
    Check(Exercise<int64_t>(text, out).mValue == reference);
    Check(Exercise<int>(text, out).mValue == Clamp<int>(reference));
    Check(Exercise<unsigned>(text, out).mValue == Clamp<unsigned>(reference));
    Check(Exercise<bool>(text, out).mValue == (reference != 0));
    Check(SameReal(Exercise<double>(text, out).mValue, std::strtod(terminated, nullptr)));
    Check(Exercise<std::string>(text, out).mValue == terminated);
    ExerciseEnum(text);
    return 0;
}
