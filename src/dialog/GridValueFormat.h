#pragma once

#include <cstdint>
#include <string>

// The texts of the property grid's number items, always made in the "C" locale (a QApplication
// switches the process to the user's locale, which would print "1,5").
//
// An item's display format is a printf-style text with exactly one conversion. Integer items
// accept d, i, u, x, X and o; a conversion without a 64-bit length ("I64", "ll", "q" or "j") is
// written for 32 bits and shows the low 32 bits of the value ("%X" shows 0x1FF00000000 as "0").
// Double items accept f, F, e, E, g, G, a and A. Flags, width and precision are kept; "%%" is a
// literal percent. An empty, malformed or unsuitable format (no or two conversions, "%s", "*"
// widths, texts longer than kMaxText) shows the value in the default format instead, so no format
// text can make printf read a wrong argument.
//
// Threading: reentrant; the locale switch is per thread.
class GridValueFormat {
  public:
    static constexpr size_t kMaxText = 4096;

    // The value as shown in the grid: format, or "%I64d" (64-bit decimal) when it is empty.
    static std::string FormatInteger(int64_t value, const std::string& format);
    // The value as shown in the grid: format, or "%g" when it is empty.
    static std::string FormatDouble(double value, const std::string& format);
    // The edit box's initial texts: "%I64d" and "%.7g"; the display format is not used.
    static std::string IntegerEditText(int64_t value);
    static std::string DoubleEditText(double value);
};
