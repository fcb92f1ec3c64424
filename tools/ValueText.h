#pragma once

#include <cstdint>
#include <string>

// Strict reading of the values a user types: the whole text must be the number (no "12abc", no
// blanks, no empty text), in the "C" locale whatever the user's locale.
struct ValueText {
    // Decimal, optional sign; false also when it does not fit into 64 bits.
    static bool ParseInteger(const std::string& text, int64_t& value);
    // A whole number within [min..max], for counts such as "-n".
    static bool ParseCount(const std::string& text, int min, int max, int& value);
    // Decimal or exponent form; no "nan" or "inf".
    static bool ParseReal(const std::string& text, double& value);
    // 1/0, true/false, on/off, yes/no, in any case.
    static bool ParseBool(const std::string& text, bool& value);

    static std::string Lower(std::string text);
    static bool EqualNoCase(const std::string& a, const std::string& b);
    // Whether needle occurs in haystack, ignoring case.
    static bool ContainsNoCase(const std::string& haystack, const std::string& needle);
};
