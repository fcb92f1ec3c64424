// Enumeration parameters: entries, selection by name, index and value.

#include <cstdint>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "parameters/ParamEnum.h"

namespace {

ParamEnum OffOn(const std::string& initial = "On") {
    ParamEnum parameter("Cat", "Mode", initial);
    parameter.AddEntry("Off", 0);
    parameter.AddEntry("On", 1);
    return parameter;
}

TEST(ParamEnumEntries, StartsAsATextParameterWithoutEntries) {
    ParamEnum parameter("Cat", "Mode", "On");
    EXPECT_EQ(parameter.mValue, "On");
    EXPECT_EQ(parameter.mDefault, "On");
    EXPECT_TRUE(parameter.mEntries.empty());
    EXPECT_FALSE(parameter.IsInRange());
    EXPECT_EQ(parameter.GetIndex(), 0);
    EXPECT_EQ(parameter.GetIntValue(), 0);
    EXPECT_EQ(parameter.GetMinEntryValue(), 0);
    EXPECT_EQ(parameter.GetMaxEntryValue(), 0);
}

TEST(ParamEnumEntries, TheFirstEntryWinsTheValue) {
    ParamEnum parameter = OffOn("On");
    EXPECT_EQ(parameter.mValue, "Off");
    EXPECT_EQ(parameter.mDefault, "On");  // only the value follows the first entry
    EXPECT_EQ(parameter.GetIndex(), 0);
}

TEST(ParamEnumEntries, LaterEntriesLeaveTheValueAlone) {
    ParamEnum parameter = OffOn();
    parameter.mValue = "On";
    parameter.AddEntry("Auto", 2);
    EXPECT_EQ(parameter.mValue, "On");
    ASSERT_EQ(parameter.mEntries.size(), 3u);
    EXPECT_EQ(parameter.mEntries[2], "Auto");
    EXPECT_EQ(parameter.mEntryValues[2], 2);
}

TEST(ParamEnumEntries, NullOrEmptyNamesAreIgnored) {
    ParamEnum parameter("Cat", "Mode", "Keep");
    parameter.AddEntry(nullptr, 1);
    parameter.AddEntry("", 2);
    EXPECT_TRUE(parameter.mEntries.empty());
    EXPECT_TRUE(parameter.mEntryValues.empty());
    EXPECT_EQ(parameter.mValue, "Keep");
}

TEST(ParamEnumSelection, SetIntValueSelectsTheFirstEntryOfThatValue) {
    ParamEnum parameter = OffOn();
    parameter.SetIntValue(1);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.AddEntry("AlsoOne", 1);
    parameter.SetIntValue(0);
    parameter.SetIntValue(1);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIntValue(7);  // no such value
    EXPECT_EQ(parameter.mValue, "On");
}

TEST(ParamEnumSelection, SetIndexOutsideTheEntriesChangesNothing) {
    ParamEnum parameter = OffOn();
    parameter.SetIndex(1);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIndex(2);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIndex(-1);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIndex(std::numeric_limits<int64_t>::min());
    parameter.SetIndex(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIndex(0);
    EXPECT_EQ(parameter.mValue, "Off");
}

TEST(ParamEnumSelection, GetIndexComparesExactlyAndFallsBackToZero) {
    ParamEnum parameter = OffOn();
    parameter.mValue = "On";
    EXPECT_EQ(parameter.GetIndex(), 1);
    parameter.mValue = "on";
    EXPECT_EQ(parameter.GetIndex(), 0);
    parameter.mValue = "On ";
    EXPECT_EQ(parameter.GetIndex(), 0);
}

TEST(ParamEnumValues, EntryValuesByExactName) {
    ParamEnum parameter("Cat", "Pixel", "");
    parameter.AddEntry("Mono8", 0x01080001);
    parameter.AddEntry("RGB8", 0x02180014);
    EXPECT_EQ(parameter.GetEntryValue("RGB8"), 0x02180014);
    EXPECT_EQ(parameter.GetEntryValue("rgb8"), 0);
    EXPECT_EQ(parameter.GetEntryValue(""), 0);
    EXPECT_EQ(parameter.GetEntryValue(nullptr), 0);
    EXPECT_EQ(parameter.GetEntryValue("BGR8"), 0);
    EXPECT_EQ(parameter.GetIntValue(), 0x01080001);
    parameter.mValue = "Unknown";
    EXPECT_EQ(parameter.GetIntValue(), 0);
}

TEST(ParamEnumValues, MinimumAndMaximumOverAllEntries) {
    ParamEnum parameter("Cat", "Mode", "");
    parameter.AddEntry("Mid", 5);
    parameter.AddEntry("Low", -3);
    parameter.AddEntry("High", std::numeric_limits<int64_t>::max());
    parameter.AddEntry("AlsoLow", -3);
    EXPECT_EQ(parameter.GetMinEntryValue(), -3);
    EXPECT_EQ(parameter.GetMaxEntryValue(), std::numeric_limits<int64_t>::max());
}

TEST(ParamEnumText, AnyTextIsStoredButOnlyAnEntryIsInRange) {
    ParamEnum parameter = OffOn();
    parameter.SetFromText("Sometimes");
    EXPECT_EQ(parameter.mValue, "Sometimes");
    EXPECT_FALSE(parameter.IsInRange());
    parameter.SetFromText("OFF");
    EXPECT_FALSE(parameter.IsInRange());
    parameter.SetFromText("On");
    EXPECT_TRUE(parameter.IsInRange());
    EXPECT_EQ(parameter.GetValueText(), "On");
}

TEST(ParamEnumText, RangeTextIsThatOfTheTextParameter) {
    ParamEnum parameter = OffOn("Initial");
    EXPECT_EQ(parameter.GetRangeText(), "[Initial..Initial]");
    std::ostringstream out;
    parameter.WriteValue(out);
    EXPECT_EQ(out.str(), "Mode=Off\n");
}

TEST(ParamEnumClone, KeepsTypeEntriesAndSelection) {
    ParamEnum parameter = OffOn();
    parameter.SetIntValue(1);
    parameter.SetOption("DisplayName", "Mode");
    const std::unique_ptr<Param_> clone = parameter.Clone();
    auto* copy = dynamic_cast<ParamEnum*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->mValue, "On");
    EXPECT_EQ(copy->mEntries, parameter.mEntries);
    EXPECT_EQ(copy->mEntryValues, parameter.mEntryValues);
    EXPECT_TRUE(copy->IsInRange());  // the override, not the text parameter's range
    EXPECT_EQ(copy->GetOption<std::string>("DisplayName"), "Mode");
    copy->AddEntry("Auto", 2);
    EXPECT_EQ(parameter.mEntries.size(), 2u);
}

TEST(ParamEnumCopyValueFrom, CopiesTheSelectedNameOnly) {
    ParamEnum target = OffOn();
    ParamEnum source("Cat", "Other", "");
    source.AddEntry("A", 10);
    source.AddEntry("On", 20);
    source.SetIndex(1);
    target.CopyValueFrom(&source);
    EXPECT_EQ(target.mValue, "On");
    EXPECT_EQ(target.GetIntValue(), 1);  // the value of this enumeration's own entry
    EXPECT_EQ(target.mEntries.size(), 2u);
}

}  // namespace
