#include "sdk/nodes/NodeText.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>

#include <locale.h>

#include "sdk/genapi/GenericException.h"

namespace sdk {
namespace nodetext {

namespace {

[[noreturn]] void Fail(const std::string& text, const std::string& nodeName) {
    throw InvalidArgumentException(
        "Cannot convert '" + text + "' to a value of node '" + nodeName + "'", __FILE__, __LINE__);
}

bool ParseIPv4(const std::string& text, int64_t& value) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
        return false;
    }
    value = (int64_t{a} << 24) | (int64_t{b} << 16) | (int64_t{c} << 8) | int64_t{d};
    return true;
}

bool ParseMac(const std::string& text, int64_t& value) {
    unsigned p[6];
    char tail;
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x%c", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5],
                    &tail) != 6) {
        return false;
    }
    value = 0;
    for (unsigned part : p) {
        if (part > 255) {
            return false;
        }
        value = (value << 8) | part;
    }
    return true;
}

// Node texts use the "C" number format whatever locale the host process runs in (a Qt host sets
// the user's, which may have a decimal comma). Null when the C library cannot make the locale.
locale_t ClassicLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

double ReadDouble(const char* text, char** end) {
    const locale_t locale = ClassicLocale();
    if (locale != static_cast<locale_t>(nullptr)) {
        return strtod_l(text, end, locale);
    }
    return std::strtod(text, end);
}

}  // namespace

std::string Trim(const std::string& text) {
    return std::string(TrimView(text));
}

std::string_view TrimView(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return std::string_view();
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FormatInteger(int64_t value, ERepresentation representation) {
    char buf[64];
    const auto u = static_cast<uint64_t>(value);
    switch (representation) {
        case HexNumber:
            std::snprintf(buf, sizeof buf, "0x%" PRIX64, u);
            break;
        case IPV4Address:
            std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", unsigned((u >> 24) & 0xFF),
                          unsigned((u >> 16) & 0xFF), unsigned((u >> 8) & 0xFF),
                          unsigned(u & 0xFF));
            break;
        case MACAddress:
            std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X",
                          unsigned((u >> 40) & 0xFF), unsigned((u >> 32) & 0xFF),
                          unsigned((u >> 24) & 0xFF), unsigned((u >> 16) & 0xFF),
                          unsigned((u >> 8) & 0xFF), unsigned(u & 0xFF));
            break;
        default:
            std::snprintf(buf, sizeof buf, "%" PRId64, value);
            break;
    }
    return buf;
}

int64_t ParseInteger(const std::string& text, const std::string& nodeName) {
    const std::string t = Trim(text);
    if (t.empty()) {
        Fail(text, nodeName);
    }
    int64_t value = 0;
    if (t.find('.') != std::string::npos) {
        if (!ParseIPv4(t, value)) {
            Fail(text, nodeName);
        }
        return value;
    }
    if (t.find(':') != std::string::npos) {
        if (!ParseMac(t, value)) {
            Fail(text, nodeName);
        }
        return value;
    }
    errno = 0;
    char* end = nullptr;
    const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (hex) {
        const unsigned long long u = std::strtoull(t.c_str() + 2, &end, 16);
        value = static_cast<int64_t>(u);
    } else {
        value = std::strtoll(t.c_str(), &end, 10);
    }
    if (errno == ERANGE || end == nullptr || *end != '\0' || end == t.c_str()) {
        Fail(text, nodeName);
    }
    return value;
}

std::string FormatBytes(const std::vector<uint8_t>& bytes) {
    std::string text = "0x";
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", unsigned(b));
        text += digits;
    }
    return text;
}

std::string FormatFloat(double value) {
    for (int precision = 15; precision <= 17; ++precision) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.precision(precision);
        out << value;
        if (precision == 17 || ReadDouble(out.str().c_str(), nullptr) == value) {
            return out.str();
        }
    }
    return std::string();
}

double ParseFloat(const std::string& text, const std::string& nodeName) {
    const std::string t = Trim(text);
    char* end = nullptr;
    errno = 0;
    const double value = ReadDouble(t.c_str(), &end);
    if (t.empty() || errno == ERANGE || *end != '\0') {
        Fail(text, nodeName);
    }
    return value;
}

bool ParseBoolean(const std::string& text, const std::string& nodeName) {
    const std::string t = Trim(text);
    if (t == "1" || EqualsIgnoringCase(t, "true")) {
        return true;
    }
    if (t == "0" || EqualsIgnoringCase(t, "false")) {
        return false;
    }
    Fail(text, nodeName);
}

}  // namespace nodetext
}  // namespace sdk
