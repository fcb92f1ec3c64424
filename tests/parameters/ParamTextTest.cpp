// Text conversions of the parameter classes: reading values from text (configuration file,
// host properties) and writing them as text.

#include <clocale>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "parameters/Param.h"

namespace {

using namespace std::string_literals;

template <typename T>
T ValueFrom(const std::string& text) {
    Param<T> parameter("Cat", "P", T());
    parameter.SetFromText(text);
    return parameter.mValue;
}

TEST(ParamSetFromText, BoolIsTrueOnlyForANonZeroLeadingInteger) {
    EXPECT_FALSE(ValueFrom<bool>("true"));
    EXPECT_FALSE(ValueFrom<bool>("TRUE"));
    EXPECT_FALSE(ValueFrom<bool>("0"));
    EXPECT_FALSE(ValueFrom<bool>("-0"));
    EXPECT_FALSE(ValueFrom<bool>("0x1"));  // the leading integer is 0
    EXPECT_FALSE(ValueFrom<bool>(""));
    EXPECT_TRUE(ValueFrom<bool>("1"));
    EXPECT_TRUE(ValueFrom<bool>("2"));
    EXPECT_TRUE(ValueFrom<bool>("-1"));
    EXPECT_TRUE(ValueFrom<bool>(" 7 apples"));
    // Beyond 64 bits it still is a non-zero number.
    EXPECT_TRUE(ValueFrom<bool>("100000000000000000000000"));
    EXPECT_TRUE(ValueFrom<bool>("4294967296"));
}

TEST(ParamSetFromText, BoolTrueFromTextIsFalseButItsWrittenFormIsOne) {
    Param<bool> parameter("Cat", "Flag", true);
    parameter.SetFromText("true");
    EXPECT_FALSE(parameter.mValue);
    parameter.SetFromText("2");
    std::ostringstream out;
    parameter.WriteValue(out);
    EXPECT_EQ(out.str(), "Flag=1\n");
}

TEST(ParamSetFromText, IntReadsTheLeadingDecimalNumberLikeAtoi) {
    EXPECT_EQ(ValueFrom<int>("12abc"), 12);
    EXPECT_EQ(ValueFrom<int>("abc"), 0);
    EXPECT_EQ(ValueFrom<int>(""), 0);
    EXPECT_EQ(ValueFrom<int>(" \t\n\v\f\r-42"), -42);
    EXPECT_EQ(ValueFrom<int>("+7"), 7);
    EXPECT_EQ(ValueFrom<int>("- 5"), 0);
    EXPECT_EQ(ValueFrom<int>("--5"), 0);
    EXPECT_EQ(ValueFrom<int>("0x1F"), 0);
    EXPECT_EQ(ValueFrom<int>("1.9"), 1);
    EXPECT_EQ(ValueFrom<int>("1e3"), 1);
    EXPECT_EQ(ValueFrom<int>("007"), 7);
    EXPECT_EQ(ValueFrom<int>("\xA0"
                             "5"),
              0);  // no-break space is not white space
}

TEST(ParamSetFromText, IntSaturatesInsteadOfOverflowing) {
    EXPECT_EQ(ValueFrom<int>("2147483647"), std::numeric_limits<int>::max());
    EXPECT_EQ(ValueFrom<int>("2147483648"), std::numeric_limits<int>::max());
    EXPECT_EQ(ValueFrom<int>("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(ValueFrom<int>("-2147483649"), std::numeric_limits<int>::min());
    EXPECT_EQ(ValueFrom<int>("99999999999999999999999999"), std::numeric_limits<int>::max());
}

TEST(ParamSetFromText, Int64ReadsAllSixtyFourBitsAndSaturatesBeyond) {
    EXPECT_EQ(ValueFrom<int64_t>("5000000000"), INT64_C(5000000000));
    EXPECT_EQ(ValueFrom<int64_t>("12abc"), 12);
    EXPECT_EQ(ValueFrom<int64_t>("abc"), 0);
    EXPECT_EQ(ValueFrom<int64_t>("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ValueFrom<int64_t>("9223372036854775808"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ValueFrom<int64_t>("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ValueFrom<int64_t>("-9223372036854775809"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ValueFrom<int64_t>(std::string(5000, '9')), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ValueFrom<int64_t>("-" + std::string(5000, '9')),
              std::numeric_limits<int64_t>::min());
}

TEST(ParamSetFromText, UnsignedClampsToItsRange) {
    EXPECT_EQ(ValueFrom<unsigned>("4294967295"), 4294967295u);
    EXPECT_EQ(ValueFrom<unsigned>("4294967296"), 4294967295u);
    EXPECT_EQ(ValueFrom<unsigned>("-1"), 0u);
    EXPECT_EQ(ValueFrom<unsigned>("12abc"), 12u);
}

TEST(ParamSetFromText, NumbersStopAtAnEmbeddedNul) {
    EXPECT_EQ(ValueFrom<int>("12\0"
                             "34"s),
              12);
    EXPECT_EQ(ValueFrom<int64_t>("\0"
                                 "99"s),
              0);
    EXPECT_FALSE(
        ValueFrom<bool>("\0"
                        "1"s));
    EXPECT_DOUBLE_EQ(ValueFrom<double>("1.5\0"
                                       "7"s),
                     1.5);
}

TEST(ParamSetFromText, DoubleReadsTheLeadingRealNumberLikeAtof) {
    EXPECT_DOUBLE_EQ(ValueFrom<double>("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("  -2.5e3 ms"), -2500.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>(".25"), 0.25);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("7."), 7.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>(""), 0.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("0x10"), 16.0);
    EXPECT_TRUE(std::isinf(ValueFrom<double>("1e400")));
    EXPECT_TRUE(std::isnan(ValueFrom<double>("nan")));
}

TEST(ParamSetFromText, DoubleIgnoresTheProcessNumericLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    bool switched = false;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            switched = true;
            break;
        }
    }
    if (!switched) {
        GTEST_SKIP() << "no decimal-comma locale installed";
    }
    const double value = ValueFrom<double>("1.5");
    Param<double> parameter("Cat", "P", 0.1);
    const std::string text = parameter.GetValueText();
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_EQ(text, "0.10000000000000001");
}

TEST(ParamSetFromText, TextIsTakenUpToItsFirstNul) {
    EXPECT_EQ(ValueFrom<std::string>("  as is  "), "  as is  ");
    EXPECT_EQ(ValueFrom<std::string>("front\0back"s), "front");
    EXPECT_EQ(ValueFrom<std::string>(""), "");
}

TEST(ParamValueText, RealsUseSeventeenSignificantDigits) {
    Param<double> parameter("Cat", "P", 0.1);
    EXPECT_EQ(parameter.GetValueText(), "0.10000000000000001");
    parameter.mValue = 1.5;
    EXPECT_EQ(parameter.GetValueText(), "1.5");
    parameter.mValue = 5000.0;
    EXPECT_EQ(parameter.GetValueText(), "5000");
    parameter.mValue = -0.0;
    EXPECT_EQ(parameter.GetValueText(), "-0");
    parameter.mValue = 1e21;
    EXPECT_EQ(parameter.GetValueText(), "1e+21");
}

TEST(ParamValueText, RealTextReadsBackToTheSameValue) {
    for (double value : {0.1, 1.0 / 3.0, 123456.789, 5e-324, 1.7976931348623157e308}) {
        Param<double> source("Cat", "P", value);
        EXPECT_EQ(ValueFrom<double>(source.GetValueText()), value) << source.GetValueText();
    }
}

TEST(ParamValueText, IntegersBoolsAndTexts) {
    Param<int64_t> big("Cat", "P", std::numeric_limits<int64_t>::min());
    EXPECT_EQ(big.GetValueText(), "-9223372036854775808");
    Param<unsigned> positive("Cat", "P", 4294967295u);
    EXPECT_EQ(positive.GetValueText(), "4294967295");
    Param<bool> flag("Cat", "P", true);
    EXPECT_EQ(flag.GetValueText(), "1");
    flag.mValue = false;
    EXPECT_EQ(flag.GetValueText(), "0");
    Param<std::string> text("Cat", "P", "with blanks ");
    EXPECT_EQ(text.GetValueText(), "with blanks ");
}

TEST(ParamValueText, TheReturnedTextIsTheParametersCacheUntilTheNextCall) {
    Param<int> parameter("Cat", "P", 1);
    const std::string& first = parameter.GetValueText();
    EXPECT_EQ(&first, &parameter.mValueText);
    parameter.mValue = 2;
    EXPECT_EQ(first, "1");  // not refreshed by the assignment
    parameter.GetValueText();
    EXPECT_EQ(first, "2");

    const std::string& range = parameter.GetRangeText();
    EXPECT_EQ(&range, &parameter.mRangeText);
}

TEST(ParamRangeText, IsMinimumDotDotMaximumInBrackets) {
    Param<int> integer("Cat", "P", 5, 3, 25, 0);
    EXPECT_EQ(integer.GetRangeText(), "[3..25]");
    Param<bool> flag("Cat", "P", true);
    flag.mMin = false;
    EXPECT_EQ(flag.GetRangeText(), "[0..1]");
    Param<double> real("Cat", "P", 1.0, 0.1, 1e6, 0.0);
    EXPECT_EQ(real.GetRangeText(), "[0.10000000000000001..1000000]");
    Param<std::string> text("Cat", "P", "m");
    text.mMin = "a";
    text.mMax = "z";
    EXPECT_EQ(text.GetRangeText(), "[a..z]");
    Param<int64_t> negative("Cat", "P", 0, -10, -1, 1);
    EXPECT_EQ(negative.GetRangeText(), "[-10..-1]");
}

TEST(ParamWrite, UsesTheCallersStreamFormatting) {
    Param<double> real("Cat", "Gain", 0.1, 0.126, 2.5, 0.0);
    std::ostringstream shortForm;
    real.WriteValue(shortForm);
    EXPECT_EQ(shortForm.str(), "Gain=0.1\n");

    std::ostringstream fixedForm;
    fixedForm << std::fixed << std::setprecision(2);
    real.WriteValue(fixedForm);
    real.WriteRange(fixedForm);
    EXPECT_EQ(fixedForm.str(), "Gain=0.10\n[0.13..2.50]");
}

TEST(ParamWrite, BoolsAreDigitsEvenOnABoolalphaStream) {
    Param<bool> flag("Cat", "Reconnect", true);
    flag.mMin = false;
    std::ostringstream out;
    out << std::boolalpha;
    flag.WriteValue(out);
    flag.WriteRange(out);
    EXPECT_EQ(out.str(), "Reconnect=1\n[0..1]");
}

TEST(ParamWrite, ReturnsTheStreamForChaining) {
    Param<int> a("Cat", "A", 1);
    Param<std::string> b("Cat", "B", "x y");
    std::ostringstream out;
    b.WriteValue(a.WriteValue(out)) << "end";
    EXPECT_EQ(out.str(), "A=1\nB=x y\nend");
    EXPECT_EQ(&a.WriteRange(out), &out);
}

}  // namespace
