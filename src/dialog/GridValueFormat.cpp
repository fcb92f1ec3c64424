#include "dialog/GridValueFormat.h"

#include <locale.h>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

enum class Conversion {
    kInvalid,
    kInt32Signed,
    kInt32Unsigned,
    kInt64Signed,
    kInt64Unsigned,
    kDouble
};

// Switches the calling thread to the "C" locale for the life of the object.
class CLocaleScope {
  public:
    CLocaleScope() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        if (cLocale != static_cast<locale_t>(0)) {
            mPrevious = uselocale(cLocale);
        }
    }
    ~CLocaleScope() {
        if (mPrevious != static_cast<locale_t>(0)) {
            uselocale(mPrevious);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t mPrevious = static_cast<locale_t>(0);
};

bool Has(const char* set, char c) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

// Rewrites format for glibc's printf with exactly one conversion of the wanted family; the
// result tells which argument it takes, kInvalid when the format cannot be used.
Conversion Normalise(const std::string& format, bool integer, std::string& out) {
    out.clear();
    Conversion result = Conversion::kInvalid;
    int conversions = 0;
    const size_t size = format.size();
    for (size_t i = 0; i < size; ++i) {
        const char c = format[i];
        if (c == '\0') {
            return Conversion::kInvalid;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < size && format[i + 1] == '%') {
            out += "%%";
            ++i;
            continue;
        }
        ++i;
        std::string piece = "%";
        while (i < size && Has("-+ #0", format[i])) {
            piece += format[i++];
        }
        while (i < size && format[i] >= '0' && format[i] <= '9') {
            piece += format[i++];
        }
        if (i < size && format[i] == '.') {
            piece += format[i++];
            while (i < size && format[i] >= '0' && format[i] <= '9') {
                piece += format[i++];
            }
        }
        bool wide = false;
        if (format.compare(i, 3, "I64") == 0) {
            wide = true;
            i += 3;
        } else if (format.compare(i, 2, "ll") == 0) {
            wide = true;
            i += 2;
        } else if (i < size && Has("qj", format[i])) {
            wide = true;
            ++i;
        } else if (format.compare(i, 2, "hh") == 0) {
            piece += "hh";
            i += 2;
        } else if (i < size && format[i] == 'h' && integer) {
            piece += 'h';
            ++i;
        } else if (i < size && Has("lL", format[i])) {
            ++i;  // 32-bit long as written for the original platform; long double as double
        }
        if (i >= size) {
            return Conversion::kInvalid;
        }
        const char conversion = format[i];
        if (integer) {
            if (!Has("diuxXo", conversion)) {
                return Conversion::kInvalid;
            }
            const bool isSigned = conversion == 'd' || conversion == 'i';
            if (wide) {
                piece += "ll";
                result = isSigned ? Conversion::kInt64Signed : Conversion::kInt64Unsigned;
            } else {
                result = isSigned ? Conversion::kInt32Signed : Conversion::kInt32Unsigned;
            }
        } else {
            if (!Has("fFeEgGaA", conversion) || wide || piece.find('h') != std::string::npos) {
                return Conversion::kInvalid;
            }
            result = Conversion::kDouble;
        }
        piece += conversion;
        out += piece;
        ++conversions;
    }
    return conversions == 1 ? result : Conversion::kInvalid;
}

// printf into a string in the "C" locale; empty when the text would exceed kMaxText.
template <typename Value>
bool Print(const std::string& format, Value value, std::string& text) {
    CLocaleScope scope;
    std::vector<char> buffer(64);
    int length = std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    if (length < 0 || static_cast<size_t>(length) > GridValueFormat::kMaxText) {
        return false;
    }
    if (static_cast<size_t>(length) >= buffer.size()) {
        buffer.resize(static_cast<size_t>(length) + 1);
        std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    }
    text.assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

}  // namespace

std::string GridValueFormat::FormatInteger(int64_t value, const std::string& format) {
    std::string normalised;
    std::string text;
    bool done = false;
    switch (Normalise(format, true, normalised)) {
        case Conversion::kInt32Signed:
            done = Print(normalised, static_cast<int>(static_cast<int32_t>(value)), text);
            break;
        case Conversion::kInt32Unsigned:
            done = Print(normalised, static_cast<unsigned>(static_cast<uint32_t>(value)), text);
            break;
        case Conversion::kInt64Signed:
            done = Print(normalised, static_cast<long long>(value), text);
            break;
        case Conversion::kInt64Unsigned:
            done = Print(normalised, static_cast<unsigned long long>(value), text);
            break;
        default:
            break;
    }
    return done ? text : IntegerEditText(value);
}

std::string GridValueFormat::FormatDouble(double value, const std::string& format) {
    std::string normalised;
    std::string text;
    if (Normalise(format, false, normalised) == Conversion::kDouble &&
        Print(normalised, value, text)) {
        return text;
    }
    Print("%g", value, text);
    return text;
}

std::string GridValueFormat::IntegerEditText(int64_t value) {
    std::string text;
    Print("%lld", static_cast<long long>(value), text);
    return text;
}

std::string GridValueFormat::DoubleEditText(double value) {
    std::string text;
    Print("%.7g", value, text);
    return text;
}
