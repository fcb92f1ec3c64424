#pragma once

#include <charconv>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>

#include "parameters/Param_.h"
#include "parameters/TextToNumber.h"

// A parameter holding one value of type T with its range, default and increment. Instantiated for
// std::string, int, int64_t, double, bool and unsigned.
//
// Text conversions (SetFromText), all of which never fail:
//   std::string  the text itself, up to its first NUL
//   int          the leading decimal integer as atoi reads it, 0 when there is none
//   int64_t      the same with 64 bits
//   unsigned     the same, negative numbers giving 0
//   double       the leading real number as atof reads it in the "C" locale, 0.0 when none
//   bool         true when the leading decimal integer is not 0: "1" and "2" are true,
//                "0" and also "true" (no leading number) are false
// Integers out of range saturate; see TextToNumber.h.
//
// GetValueText and GetRangeText format reals with 17 significant digits as printf's "%.17g" does
// in the "C" locale (0.1 gives "0.10000000000000001", 5000.0 gives "5000", infinity "inf"),
// whatever the process locale, integers in plain decimal, bools as "1" or "0"; they build no
// stream, and once their cache has grown they allocate nothing.
// WriteValue and WriteRange use the caller's stream and its formatting, bools again as "1"/"0".
//
// A parameter made with the three-argument constructor has the range [value..value], so any other
// value is out of range until its creator sets mMin and mMax.
//
// Threading: see Param_.
template <typename T>
class Param : public Param_ {
  public:
    // Value and default = value; minimum, maximum and increment as given.
    Param(std::string category, std::string name, T value, T minimum, T maximum, T increment)
        : Param_(std::move(category), std::move(name)),
          mValue(value),
          mMax(std::move(maximum)),
          mMin(std::move(minimum)),
          mDefault(value),
          mInc(std::move(increment)) {}

    // Value, maximum, minimum and default = value; the increment is value-initialised (0, false
    // or the empty text).
    Param(std::string category, std::string name, T value)
        : Param_(std::move(category), std::move(name)),
          mValue(value),
          mMax(value),
          mMin(value),
          mDefault(value),
          mInc() {}

    Param(const Param&) = default;

    void SetFromText(const std::string& text) override { mValue = FromText(text); }

    const std::string& GetValueText() const override {
        mValueText.clear();
        AppendText(mValueText, mValue);
        return mValueText;
    }

    const std::string& GetRangeText() const override {
        mRangeText.assign(1, '[');
        AppendText(mRangeText, mMin);
        mRangeText += "..";
        AppendText(mRangeText, mMax);
        mRangeText += ']';
        return mRangeText;
    }

    bool IsInRange() const override { return mMin <= mValue && mValue <= mMax; }

    std::ostream& WriteValue(std::ostream& out) const override {
        out << mName << '=';
        Put(out, mValue);
        return out << '\n';
    }

    std::ostream& WriteRange(std::ostream& out) const override {
        PutRange(out);
        return out;
    }

    std::unique_ptr<Param_> Clone() const override { return std::make_unique<Param>(*this); }

    T mValue;
    T mMax;
    T mMin;
    T mDefault;
    T mInc;  // step of a Param<int>; 0 means no step rule. Only copied for the other types.
    mutable std::string mValueText;  // cache returned by GetValueText
    mutable std::string mRangeText;  // cache returned by GetRangeText

  private:
    static T FromText(const std::string& text) {
        if constexpr (std::is_same<T, std::string>::value) {
            return std::string(text.c_str());
        } else if constexpr (std::is_same<T, bool>::value) {
            return LeadingInt64(text) != 0;
        } else if constexpr (std::is_same<T, int>::value) {
            return LeadingInt(text);
        } else if constexpr (std::is_same<T, int64_t>::value) {
            return LeadingInt64(text);
        } else if constexpr (std::is_same<T, unsigned>::value) {
            return LeadingUnsigned(text);
        } else {
            static_assert(std::is_same<T, double>::value, "unsupported parameter type");
            return LeadingDouble(text);
        }
    }

    // Appends the text GetValueText gives for value.
    static void AppendText(std::string& text, const T& value) {
        if constexpr (std::is_same<T, std::string>::value) {
            text += value;
        } else if constexpr (std::is_same<T, bool>::value) {
            text += value ? '1' : '0';
        } else {
            char digits[32];  // "%.17g" of a double needs at most 24, an int64_t 20
            std::to_chars_result end;
            if constexpr (std::is_same<T, double>::value) {
                end = std::to_chars(digits, digits + sizeof digits, value,
                                    std::chars_format::general, 17);
            } else {
                end = std::to_chars(digits, digits + sizeof digits, value);
            }
            text.append(digits, end.ptr);
        }
    }

    static void Put(std::ostream& out, const T& value) {
        if constexpr (std::is_same<T, bool>::value) {
            out << (value ? '1' : '0');
        } else {
            out << value;
        }
    }

    void PutRange(std::ostream& out) const {
        out << '[';
        Put(out, mMin);
        out << "..";
        Put(out, mMax);
        out << ']';
    }
};
