#include "parameters/TextToNumber.h"

#include <clocale>
#include <cstdlib>
#include <limits>

#include <locale.h>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The "C" locale, created once; null when the C library could not create it.
locale_t ClassicLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

int64_t LeadingInt64(const std::string& text) noexcept {
    const size_t size = text.size();
    size_t i = 0;
    while (i < size && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude is gathered unsigned, capped at the largest magnitude of the sign.
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : uint64_t{std::numeric_limits<int64_t>::max()};
    uint64_t magnitude = 0;
    for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative) {
        return static_cast<int64_t>(magnitude);
    }
    if (magnitude == limit) {
        return std::numeric_limits<int64_t>::min();
    }
    return -static_cast<int64_t>(magnitude);
}

int LeadingInt(const std::string& text) noexcept {
    const int64_t value = LeadingInt64(text);
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

unsigned LeadingUnsigned(const std::string& text) noexcept {
    const int64_t value = LeadingInt64(text);
    if (value < 0) {
        return 0;
    }
    if (value > int64_t{std::numeric_limits<unsigned>::max()}) {
        return std::numeric_limits<unsigned>::max();
    }
    return static_cast<unsigned>(value);
}

double LeadingDouble(const std::string& text) noexcept {
    // c_str() ends at the string's terminator, so strtod stops at the first NUL at the latest.
    const locale_t locale = ClassicLocale();
    if (locale != static_cast<locale_t>(nullptr)) {
        return strtod_l(text.c_str(), nullptr, locale);
    }
    return std::strtod(text.c_str(), nullptr);
}
