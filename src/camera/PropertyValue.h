#pragma once

#include <cstdint>
#include <string>

// A property value as the host exchanges it: integer, real and text form at once. Each setter
// writes all three forms.
struct PropertyValue {
    void SetInt(int32_t value);
    void SetInt64(int64_t value);
    // Integer form truncated toward zero (clamped to the 64-bit range); text with six
    // significant digits.
    void SetReal(double value);
    void SetBool(bool value);
    // "true"/"false" in any case are 1/0; other texts give their leading integer and real number.
    void SetText(const std::string& value);
    void SetEnum(int64_t index, const std::string& entry);
    // The argument of the "set" command, "NAME=VALUE": splits it at the first "=", gives NAME
    // back and takes VALUE with SetText. False, with nothing changed, when there is no "=".
    bool SetFromAssignment(const std::string& argument, std::string& name);
    // True when the text is exactly the decimal form of the integer ("3", not "03" or "3.0").
    bool IsInteger() const;

    int64_t mInt = 0;
    double mReal = 0.0;
    std::string mText;
};
