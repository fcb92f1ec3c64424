// Construction, ranges, copies, options and value copies of single parameters.

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <boost/any.hpp>

#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/GcString.h"

namespace {

TEST(ParamConstruction, BaseMembersAndFlags) {
    Param<int> parameter("Category", "Name", 7);
    EXPECT_EQ(parameter.mCategory, "Category");
    EXPECT_EQ(parameter.mName, "Name");
    EXPECT_TRUE(parameter.mWritable);
    EXPECT_FALSE(parameter.mGeneral);
    EXPECT_TRUE(parameter.mPersistent);
    EXPECT_TRUE(parameter.mVisible);
    EXPECT_FALSE(parameter.mVolatile);
    EXPECT_FALSE(parameter.mChunk);
    EXPECT_TRUE(parameter.mDescription.empty());
    EXPECT_TRUE(parameter.mOptions.empty());
}

TEST(ParamConstruction, FullFormSetsRangeIncrementAndDefault) {
    Param<int64_t> parameter("Cat", "Width", 640, 16, 1920, 8);
    EXPECT_EQ(parameter.mValue, 640);
    EXPECT_EQ(parameter.mDefault, 640);
    EXPECT_EQ(parameter.mMin, 16);
    EXPECT_EQ(parameter.mMax, 1920);
    EXPECT_EQ(parameter.mInc, 8);
}

TEST(ParamConstruction, ShortFormMakesAOnePointRange) {
    Param<double> real("Cat", "P", 2.5);
    EXPECT_EQ(real.mMin, 2.5);
    EXPECT_EQ(real.mMax, 2.5);
    EXPECT_EQ(real.mDefault, 2.5);
    EXPECT_EQ(real.mInc, 0.0);
    EXPECT_TRUE(real.IsInRange());
    real.mValue = 2.6;
    EXPECT_FALSE(real.IsInRange());

    Param<std::string> text("Cat", "P", "value");
    EXPECT_EQ(text.mMin, "value");
    EXPECT_EQ(text.mMax, "value");
    EXPECT_EQ(text.mDefault, "value");
    EXPECT_EQ(text.mInc, "");
}

TEST(ParamIsInRange, BoundsAreInclusive) {
    Param<int> integer("Cat", "P", 3, 3, 25, 0);
    EXPECT_TRUE(integer.IsInRange());
    integer.mValue = 25;
    EXPECT_TRUE(integer.IsInRange());
    integer.mValue = 26;
    EXPECT_FALSE(integer.IsInRange());
    integer.mValue = 2;
    EXPECT_FALSE(integer.IsInRange());
}

TEST(ParamIsInRange, IntegersCompareSigned) {
    Param<int64_t> parameter("Cat", "P", -1, -5, 5, 1);
    EXPECT_TRUE(parameter.IsInRange());
    parameter.mValue = std::numeric_limits<int64_t>::min();
    EXPECT_FALSE(parameter.IsInRange());
}

TEST(ParamIsInRange, NanIsNeverInRange) {
    Param<double> parameter("Cat", "P", 0.0, -1.0, 1.0, 0.0);
    parameter.mValue = std::nan("");
    EXPECT_FALSE(parameter.IsInRange());
}

TEST(ParamIsInRange, BoolsOrderFalseBeforeTrue) {
    Param<bool> parameter("Cat", "P", true);
    EXPECT_TRUE(parameter.IsInRange());
    parameter.mValue = false;
    EXPECT_FALSE(parameter.IsInRange());
    parameter.mMin = false;
    EXPECT_TRUE(parameter.IsInRange());
}

TEST(ParamIsInRange, TextsCompareBytewise) {
    Param<std::string> parameter("Cat", "P", "m");
    parameter.mMin = "a";
    parameter.mMax = "z";
    EXPECT_TRUE(parameter.IsInRange());
    parameter.mValue = "M";  // upper case sorts before lower case
    EXPECT_FALSE(parameter.IsInRange());
    parameter.mValue = "\xE4";  // bytes above 0x7F are large, not negative
    EXPECT_FALSE(parameter.IsInRange());
    parameter.mMax = "\xFF";
    EXPECT_TRUE(parameter.IsInRange());
    parameter.mValue = "";
    EXPECT_FALSE(parameter.IsInRange());
}

// A parameter with every member changed from what the constructor gives.
std::unique_ptr<Param<double>> FullyCustomised() {
    auto parameter = std::make_unique<Param<double>>("Cat", "Exposure", 100.0, 10.0, 1000.0, 0.5);
    parameter->mValue = 200.0;
    parameter->mWritable = false;
    parameter->mGeneral = true;
    parameter->mPersistent = false;
    parameter->mVisible = false;
    parameter->mVolatile = true;
    parameter->mChunk = true;
    parameter->mDescription = "tool tip";
    parameter->SetOption("NodeName", sdk::gcstring("ExposureTimeAbs"));
    parameter->SetOption("Format", "%.2f us");
    parameter->SetOption("SelectorValue", 3);
    parameter->GetValueText();
    parameter->GetRangeText();
    return parameter;
}

TEST(ParamClone, CopiesEveryMemberAndKeepsTheDynamicType) {
    const auto original = FullyCustomised();
    const std::unique_ptr<Param_> clone = original->Clone();
    auto* copy = dynamic_cast<Param<double>*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original.get());
    EXPECT_EQ(copy->mName, "Exposure");
    EXPECT_EQ(copy->mCategory, "Cat");
    EXPECT_EQ(copy->mValue, 200.0);
    EXPECT_EQ(copy->mDefault, 100.0);
    EXPECT_EQ(copy->mMin, 10.0);
    EXPECT_EQ(copy->mMax, 1000.0);
    EXPECT_EQ(copy->mInc, 0.5);
    EXPECT_FALSE(copy->mWritable);
    EXPECT_TRUE(copy->mGeneral);
    EXPECT_FALSE(copy->mPersistent);
    EXPECT_FALSE(copy->mVisible);
    EXPECT_TRUE(copy->mVolatile);
    EXPECT_TRUE(copy->mChunk);
    EXPECT_EQ(copy->mDescription, "tool tip");
    EXPECT_EQ(copy->mValueText, "200");
    EXPECT_EQ(copy->mRangeText, "[10..1000]");
    EXPECT_EQ(copy->GetOption<sdk::gcstring>("NodeName"), sdk::gcstring("ExposureTimeAbs"));
    EXPECT_EQ(copy->GetOption<std::string>("Format"), "%.2f us");
    EXPECT_EQ(copy->GetOption<int64_t>("SelectorValue"), 3);
}

TEST(ParamClone, IsIndependentOfTheOriginal) {
    const auto original = FullyCustomised();
    const std::unique_ptr<Param_> clone = original->Clone();
    clone->SetOption("Format", "%X");
    clone->mDescription = "changed";
    static_cast<Param<double>&>(*clone).mValue = 1.0;
    EXPECT_EQ(original->GetOption<std::string>("Format"), "%.2f us");
    EXPECT_EQ(original->mDescription, "tool tip");
    EXPECT_EQ(original->mValue, 200.0);
}

TEST(ParamClone, EveryInstantiationClonesToItsOwnType) {
    const Param<int> a("C", "a", 1);
    const Param<int64_t> b("C", "b", 1);
    const Param<unsigned> c("C", "c", 1u);
    const Param<bool> d("C", "d", true);
    const Param<std::string> e("C", "e", "x");
    EXPECT_NE(dynamic_cast<Param<int>*>(a.Clone().get()), nullptr);
    EXPECT_NE(dynamic_cast<Param<int64_t>*>(b.Clone().get()), nullptr);
    EXPECT_NE(dynamic_cast<Param<unsigned>*>(c.Clone().get()), nullptr);
    EXPECT_NE(dynamic_cast<Param<bool>*>(d.Clone().get()), nullptr);
    const auto text = e.Clone();
    EXPECT_NE(dynamic_cast<Param<std::string>*>(text.get()), nullptr);
    EXPECT_EQ(dynamic_cast<ParamEnum*>(text.get()), nullptr);
}

TEST(ParamOptions, MissingKeyNamesParameterAndKey) {
    Param<double> gain("Cat", "Gain", 1.0);
    try {
        gain.GetOption<std::string>("Format");
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "Parameter Gain does not have option Format");
    }
}

TEST(ParamOptions, KeysAreCaseSensitive) {
    Param<int> parameter("Cat", "P", 0);
    parameter.SetOption("Format", "%X");
    EXPECT_TRUE(parameter.HasOption("Format"));
    EXPECT_FALSE(parameter.HasOption("format"));
    EXPECT_THROW(parameter.GetOption<std::string>("FORMAT"), std::out_of_range);
}

TEST(ParamOptions, ReadingAsAnotherTypeThrowsBadAnyCast) {
    Param<int> parameter("Cat", "P", 0);
    parameter.SetOption("NodeName", sdk::gcstring("Gain"));
    parameter.SetOption("SelectorValue", INT64_C(1));
    parameter.SetOption("SelectorName", "GainSelector");
    EXPECT_THROW(parameter.GetOption<std::string>("NodeName"), boost::bad_any_cast);
    EXPECT_THROW(parameter.GetOption<sdk::gcstring>("SelectorName"), boost::bad_any_cast);
    EXPECT_THROW(parameter.GetOption<std::string>("SelectorValue"), boost::bad_any_cast);
    try {
        parameter.GetOption<int64_t>("NodeName");
        FAIL() << "no exception";
    } catch (const boost::bad_any_cast& error) {
        EXPECT_STREQ(error.what(), "boost::bad_any_cast: failed conversion using boost::any_cast");
    }
}

TEST(ParamOptions, LiteralsAndSmallIntegersLandInTheDocumentedTypes) {
    Param<int> parameter("Cat", "P", 0);
    parameter.SetOption("Text", "literal");               // std::string, not const char*
    parameter.SetOption("Number", 0);                     // int64_t, not a null pointer
    parameter.SetOption("Unsigned", 4000000000u);         // widened, not wrapped
    parameter.SetOption("Node", sdk::gcstring("Width"));  // stays a gcstring
    parameter.SetOption("Null", static_cast<const char*>(nullptr));
    EXPECT_EQ(parameter.GetOption<std::string>("Text"), "literal");
    EXPECT_EQ(parameter.GetOption<int64_t>("Number"), 0);
    EXPECT_EQ(parameter.GetOption<int64_t>("Unsigned"), INT64_C(4000000000));
    EXPECT_EQ(parameter.GetOption<sdk::gcstring>("Node").str(), "Width");
    EXPECT_EQ(parameter.GetOption<std::string>("Null"), "");
}

TEST(ParamOptions, SettingAgainReplacesAValueOfAnyType) {
    Param<int> parameter("Cat", "P", 0);
    parameter.SetOption("Key", "text");
    parameter.SetOption("Key", 5);
    EXPECT_EQ(parameter.mOptions.size(), 1u);
    EXPECT_EQ(parameter.GetOption<int64_t>("Key"), 5);
    EXPECT_THROW(parameter.GetOption<std::string>("Key"), boost::bad_any_cast);
}

TEST(ParamCopyValueFrom, SameTypeCopiesOnlyTheValue) {
    Param<int> target("Target", "T", 5, 3, 25, 1);
    Param<int> source("Source", "S", 20, 0, 100, 5);
    source.mWritable = false;
    source.SetOption("Format", "%X");
    target.CopyValueFrom(&source);
    EXPECT_EQ(target.mValue, 20);
    EXPECT_EQ(target.mMin, 3);
    EXPECT_EQ(target.mMax, 25);
    EXPECT_EQ(target.mInc, 1);
    EXPECT_EQ(target.mDefault, 5);
    EXPECT_EQ(target.mName, "T");
    EXPECT_TRUE(target.mWritable);
    EXPECT_FALSE(target.HasOption("Format"));
}

TEST(ParamCopyValueFrom, DifferentTypesOrNoSourceChangeNothing) {
    Param<int> integer("C", "P", 1);
    const Param<int64_t> wide("C", "P", 2);
    const Param<unsigned> positive("C", "P", 3u);
    const Param<double> real("C", "P", 4.0);
    const Param<bool> flag("C", "P", false);
    const Param<std::string> text("C", "P", "5");
    integer.CopyValueFrom(&wide);
    integer.CopyValueFrom(&positive);
    integer.CopyValueFrom(&real);
    integer.CopyValueFrom(&flag);
    integer.CopyValueFrom(&text);
    integer.CopyValueFrom(nullptr);
    EXPECT_EQ(integer.mValue, 1);

    Param<int64_t> target("C", "P", 9);
    Param<int> narrow("C", "P", 10);
    target.CopyValueFrom(&narrow);
    EXPECT_EQ(target.mValue, 9);
}

TEST(ParamCopyValueFrom, EachInstantiationCopiesFromItsOwnKind) {
    Param<unsigned> positive("C", "P", 1u);
    const Param<unsigned> positiveSource("C", "P", 2u);
    positive.CopyValueFrom(&positiveSource);
    EXPECT_EQ(positive.mValue, 2u);

    Param<double> real("C", "P", 1.0);
    const Param<double> realSource("C", "P", 0.5);
    real.CopyValueFrom(&realSource);
    EXPECT_EQ(real.mValue, 0.5);

    Param<bool> flag("C", "P", true);
    const Param<bool> flagSource("C", "P", false);
    flag.CopyValueFrom(&flagSource);
    EXPECT_FALSE(flag.mValue);

    Param<std::string> text("C", "P", "a");
    const Param<std::string> textSource("C", "P", "b");
    text.CopyValueFrom(&textSource);
    EXPECT_EQ(text.mValue, "b");
}

TEST(ParamCopyValueFrom, EnumerationsAndTextsCopyAsText) {
    ParamEnum mode("C", "Mode", "");
    mode.AddEntry("Off", 0);
    mode.AddEntry("On", 1);
    const Param<std::string> text("C", "Text", "On");
    mode.CopyValueFrom(&text);
    EXPECT_EQ(mode.mValue, "On");
    EXPECT_EQ(mode.mEntries.size(), 2u);

    Param<std::string> plain("C", "Plain", "");
    mode.mValue = "Off";
    plain.CopyValueFrom(&mode);
    EXPECT_EQ(plain.mValue, "Off");

    // Any text goes, also one that names no entry.
    const Param<std::string> unknown("C", "Text", "Maybe");
    mode.CopyValueFrom(&unknown);
    EXPECT_EQ(mode.mValue, "Maybe");
    EXPECT_FALSE(mode.IsInRange());
}

}  // namespace
