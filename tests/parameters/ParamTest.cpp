// Single parameters: text conversions, ranges, copies and options.

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include <gtest/gtest.h>
#include <boost/any.hpp>

#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

using namespace std::string_literals;

template <typename T>
T ValueFrom(const std::string& text) {
    Param<T> parameter("Cat", "P", T());
    parameter.SetFromText(text);
    return parameter.mValue;
}

// The fuzz target checks these readers against strtoll/strtod on arbitrary input; here are the
// cases the configuration file and the host actually produce.
TEST(ParamSetFromText, IntegersTakeTheLeadingDecimalNumberAndSaturate) {
    const int64_t min64 = std::numeric_limits<int64_t>::min();
    const int minInt = std::numeric_limits<int>::min();
    const struct {
        std::string text;
        int64_t asInt64;
        int asInt;
    } cases[] = {
        {"12abc", 12, 12},
        {"abc", 0, 0},
        {" \t\n+7", 7, 7},
        {"12\0"
         "34"s,
         12, 12},
        {"5000000000", INT64_C(5000000000), std::numeric_limits<int>::max()},
        {"9223372036854775808", std::numeric_limits<int64_t>::max(),
         std::numeric_limits<int>::max()},
        {"-9223372036854775809", min64, minInt},
        {"-" + std::string(5000, '9'), min64, minInt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ValueFrom<int64_t>(c.text), c.asInt64);
        EXPECT_EQ(ValueFrom<int>(c.text), c.asInt);
        EXPECT_EQ(ValueFrom<bool>(c.text), c.asInt64 != 0);
    }
    EXPECT_EQ(ValueFrom<unsigned>("-1"), 0u);
    EXPECT_EQ(ValueFrom<unsigned>("4294967296"), 4294967295u);
}

TEST(ParamSetFromText, BoolReadsANumberNotAWord) {
    EXPECT_FALSE(ValueFrom<bool>("true"));
    EXPECT_TRUE(ValueFrom<bool>("2"));
    EXPECT_TRUE(ValueFrom<bool>("100000000000000000000000"));  // beyond 64 bits, still non-zero
    Param<bool> flag("Cat", "Flag", false);
    flag.SetFromText("2");
    std::ostringstream out;
    out << std::boolalpha;  // ignored: bools are written as digits
    flag.WriteValue(out);
    EXPECT_EQ(out.str(), "Flag=1\n");
}

TEST(ParamSetFromText, RealsAndTexts) {
    EXPECT_DOUBLE_EQ(ValueFrom<double>("  -2.5e3 ms"), -2500.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ValueFrom<double>("1.5\0"
                                       "7"s),
                     1.5);
    EXPECT_TRUE(std::isinf(ValueFrom<double>("1e400")));
    EXPECT_EQ(ValueFrom<std::string>("  as is  "), "  as is  ");
    EXPECT_EQ(ValueFrom<std::string>("front\0back"s), "front");
}

TEST(ParamSetFromText, RealsIgnoreTheProcessNumericLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no decimal-comma locale installed";
    }
    const double value = ValueFrom<double>("1.5");
    const std::string text = Param<double>("Cat", "P", 0.25).GetValueText();
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_EQ(text, "0.25");
}

TEST(ParamText, ValueAndRangeTextsUseSeventeenDigits) {
    Param<double> real("Cat", "P", 0.1, 0.1, 5000.0, 0.0);
    EXPECT_EQ(real.GetValueText(), "0.10000000000000001");
    EXPECT_EQ(real.GetRangeText(), "[0.10000000000000001..5000]");
    real.mValue = 1.5;
    EXPECT_EQ(real.GetValueText(), "1.5");
    for (double value : {1.0 / 3.0, 5e-324, -0.0, 1.7976931348623157e308}) {
        real.mValue = value;
        const double back = ValueFrom<double>(real.GetValueText());
        EXPECT_EQ(std::signbit(back), std::signbit(value));
        EXPECT_EQ(back, value) << real.GetValueText();
    }
    EXPECT_EQ((Param<int>("Cat", "P", 5, 3, 25, 0).GetRangeText()), "[3..25]");
    Param<bool> flag("Cat", "P", true);
    flag.mMin = false;
    EXPECT_EQ(flag.GetRangeText(), "[0..1]");
}

TEST(ParamText, ExtremesReadLikePrintf) {
    EXPECT_EQ((Param<int64_t>("Cat", "P", std::numeric_limits<int64_t>::min()).GetValueText()),
              "-9223372036854775808");
    EXPECT_EQ((Param<int>("Cat", "P", std::numeric_limits<int>::min()).GetRangeText()),
              "[-2147483648..-2147483648]");
    EXPECT_EQ((Param<unsigned>("Cat", "P", std::numeric_limits<unsigned>::max()).GetValueText()),
              "4294967295");
    Param<double> real("Cat", "P", 0.0);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    char printed[64];
    for (double value : {-inf, inf, nan, -0.0, 1e300, -1.2345678901234567e-308, 5e-324, 1e16,
                         123456789012345678.0, 0.0001, 1e-5}) {
        real.mValue = value;
        std::snprintf(printed, sizeof printed, "%.17g", value);
        EXPECT_EQ(real.GetValueText(), printed);
    }
    real.mMin = -inf;
    real.mMax = 1e300;
    EXPECT_EQ(real.GetRangeText(), "[-inf..1.0000000000000001e+300]");
    Param<std::string> text("Cat", "P", " spaces and\ttabs ");
    EXPECT_EQ(text.GetValueText(), " spaces and\ttabs ");
    EXPECT_EQ(text.GetRangeText(), "[ spaces and\ttabs .. spaces and\ttabs ]");
}

TEST(ParamText, TheReturnedTextIsACacheValidUntilTheNextCall) {
    Param<int> parameter("Cat", "P", 1);
    const std::string& text = parameter.GetValueText();
    parameter.mValue = 2;
    EXPECT_EQ(text, "1");
    parameter.GetValueText();
    EXPECT_EQ(text, "2");
}

TEST(ParamText, WriteUsesTheCallersFormatting) {
    Param<double> gain("Cat", "Gain", 0.1, 0.126, 2.5, 0.0);
    std::ostringstream plain;
    gain.WriteValue(plain);
    EXPECT_EQ(plain.str(), "Gain=0.1\n");
    std::ostringstream fixed;
    fixed << std::fixed << std::setprecision(2);
    gain.WriteRange(gain.WriteValue(fixed));
    EXPECT_EQ(fixed.str(), "Gain=0.10\n[0.13..2.50]");
}

TEST(ParamIsInRange, EdgesOfEachKind) {
    Param<int> integer("Cat", "P", 25, 3, 25, 0);
    EXPECT_TRUE(integer.IsInRange());
    integer.mValue = 26;
    EXPECT_FALSE(integer.IsInRange());

    Param<double> onePoint("Cat", "P", 2.5);  // three-argument form: range [value..value]
    EXPECT_TRUE(onePoint.IsInRange());
    onePoint.mValue = 2.6;
    EXPECT_FALSE(onePoint.IsInRange());
    onePoint.mValue = std::nan("");
    onePoint.mMin = -1e308;
    onePoint.mMax = 1e308;
    EXPECT_FALSE(onePoint.IsInRange());

    Param<std::string> text("Cat", "P", "M");
    text.mMin = "a";
    text.mMax = "z";
    EXPECT_FALSE(text.IsInRange());  // byte-wise: upper case sorts first
    text.mValue = "\xE4";            // bytes compare unsigned
    EXPECT_FALSE(text.IsInRange());
}

TEST(ParamClone, CopiesEveryMemberIntoAnIndependentObjectOfTheSameType) {
    Param<double> original("Cat", "Exposure", 100.0, 10.0, 1000.0, 0.5);
    original.mValue = 200.0;
    original.mWritable = original.mPersistent = original.mVisible = false;
    original.mGeneral = original.mVolatile = original.mChunk = true;
    original.mDescription = "tool tip";
    original.SetOption("Format", "%.2f us");
    original.GetValueText();

    const std::unique_ptr<Param_> clone = original.Clone();
    auto* copy = dynamic_cast<Param<double>*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tie(copy->mValue, copy->mDefault, copy->mMin, copy->mMax, copy->mInc),
              std::make_tuple(200.0, 100.0, 10.0, 1000.0, 0.5));
    EXPECT_EQ(std::tie(copy->mWritable, copy->mGeneral, copy->mPersistent, copy->mVisible,
                       copy->mVolatile, copy->mChunk),
              std::make_tuple(false, true, false, false, true, true));
    EXPECT_EQ(copy->mDescription, "tool tip");
    EXPECT_EQ(copy->mValueText, "200");

    copy->SetOption("Format", "%X");
    EXPECT_EQ(original.GetOption<std::string>("Format"), "%.2f us");
    EXPECT_EQ(dynamic_cast<ParamEnum*>(Param<std::string>("C", "N", "").Clone().get()), nullptr);
}

TEST(ParamOptions, MissingKeyAndWrongTypeThrowTheirTexts) {
    Param<double> gain("Cat", "Gain", 1.0);
    gain.SetOption("NodeName", sdk::gcstring("Gain"));
    try {
        gain.GetOption<std::string>("Format");
        FAIL();
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "Parameter Gain does not have option Format");
    }
    EXPECT_THROW(gain.GetOption<std::string>("nodename"), std::out_of_range);  // case-sensitive
    try {
        gain.GetOption<std::string>("NodeName");  // a gcstring is not a std::string
        FAIL();
    } catch (const boost::bad_any_cast& error) {
        EXPECT_STREQ(error.what(), "boost::bad_any_cast: failed conversion using boost::any_cast");
    }
}

TEST(ParamOptions, ValuesLandInTheDocumentedTypesAndReplaceEachOther) {
    Param<int> parameter("Cat", "P", 0);
    parameter.SetOption("Text", "literal");    // std::string, not const char*
    parameter.SetOption("Number", 0);          // int64_t, not a null pointer
    parameter.SetOption("Wide", 4000000000u);  // widened, not wrapped
    EXPECT_EQ(parameter.GetOption<std::string>("Text"), "literal");
    EXPECT_EQ(parameter.GetOption<int64_t>("Number"), 0);
    EXPECT_EQ(parameter.GetOption<int64_t>("Wide"), INT64_C(4000000000));
    parameter.SetOption("Text", sdk::gcstring("node"));
    EXPECT_EQ(parameter.GetOption<sdk::gcstring>("Text").str(), "node");
    EXPECT_THROW(parameter.GetOption<std::string>("Text"), boost::bad_any_cast);
}

TEST(ParamCopyValueFrom, CopiesOnlyTheValueAndOnlyBetweenEqualTypes) {
    Param<int> target("Target", "T", 5, 3, 25, 1);
    const Param<int> source("Source", "S", 20, 0, 100, 5);
    target.CopyValueFrom(&source);
    EXPECT_EQ(target.mValue, 20);
    EXPECT_EQ(target.GetRangeText(), "[3..25]");
    EXPECT_EQ(target.mDefault, 5);

    const Param<int64_t> wide("C", "P", 2);
    const Param<unsigned> positive("C", "P", 3u);
    const Param<bool> flag("C", "P", false);
    target.CopyValueFrom(&wide);
    target.CopyValueFrom(&positive);
    target.CopyValueFrom(&flag);
    target.CopyValueFrom(nullptr);
    EXPECT_EQ(target.mValue, 20);

    ParamEnum mode("C", "Mode", "");
    mode.AddEntry("Off", 0);
    const Param<std::string> text("C", "Text", "Maybe");
    mode.CopyValueFrom(&text);  // enumerations and texts copy as text, unchecked
    EXPECT_EQ(mode.mValue, "Maybe");
    Param<std::string> plain("C", "Plain", "");
    plain.CopyValueFrom(&mode);
    EXPECT_EQ(plain.mValue, "Maybe");
}

}  // namespace
