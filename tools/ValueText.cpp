#include "ValueText.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

bool ValueText::ParseInteger(const std::string& text, int64_t& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return false;
    uint64_t magnitude = 0;
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool ValueText::ParseCount(const std::string& text, int min, int max, int& value) {
    int64_t number = 0;
    if (!ParseInteger(text, number) || number < min || number > max) return false;
    value = static_cast<int>(number);
    return true;
}

bool ValueText::ParseReal(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != 'e' && c != 'E') {
            return false;
        }
    }
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double number = 0.0;
    in >> number;
    if (in.fail() || in.peek() != std::char_traits<char>::eof() || !std::isfinite(number)) {
        return false;
    }
    value = number;
    return true;
}

bool ValueText::ParseBool(const std::string& text, bool& value) {
    const std::string lower = Lower(text);
    for (const char* yes : {"1", "true", "on", "yes"}) {
        if (lower == yes) {
            value = true;
            return true;
        }
    }
    for (const char* no : {"0", "false", "off", "no"}) {
        if (lower == no) {
            value = false;
            return true;
        }
    }
    return false;
}

std::string ValueText::Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool ValueText::EqualNoCase(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

bool ValueText::ContainsNoCase(const std::string& haystack, const std::string& needle) {
    return Lower(haystack).find(Lower(needle)) != std::string::npos;
}
