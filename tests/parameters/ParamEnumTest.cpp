// Enumeration parameters: entries and selection by name, index and value.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "parameters/ParamEnum.h"

namespace {

ParamEnum OffOn() {
    ParamEnum parameter("Cat", "Mode", "On");
    parameter.AddEntry("Off", 0);
    parameter.AddEntry("On", 1);
    return parameter;
}

TEST(ParamEnum, TheFirstEntryWinsTheValueAndSelectionStaysWithinTheEntries) {
    ParamEnum parameter = OffOn();
    EXPECT_EQ(parameter.mValue, "Off");
    parameter.SetIntValue(1);
    EXPECT_EQ(parameter.mValue, "On");
    parameter.SetIntValue(7);
    parameter.SetIndex(2);
    parameter.SetIndex(-1);
    parameter.SetIndex(std::numeric_limits<int64_t>::min());
    EXPECT_EQ(parameter.mValue, "On");
    EXPECT_EQ(parameter.GetIndex(), 1);

    parameter.AddEntry(nullptr, 5);
    parameter.AddEntry("", 6);
    parameter.AddEntry("AlsoOne", 1);
    EXPECT_EQ(parameter.mEntries.size(), 3u);
    parameter.SetIntValue(1);  // the first entry of that value
    EXPECT_EQ(parameter.mValue, "On");
}

TEST(ParamEnum, NamesCompareExactly) {
    ParamEnum parameter = OffOn();
    parameter.mValue = "on";
    EXPECT_EQ(parameter.GetIndex(), 0);
    EXPECT_EQ(parameter.GetIntValue(), 0);
    EXPECT_FALSE(parameter.IsInRange());
    EXPECT_EQ(parameter.GetEntryValue("On"), 1);
    EXPECT_EQ(parameter.GetEntryValue("ON"), 0);
    EXPECT_EQ(parameter.GetEntryValue(nullptr), 0);
}

TEST(ParamEnum, MinimumAndMaximumEntryValues) {
    ParamEnum parameter("Cat", "Mode", "");
    EXPECT_EQ(parameter.GetMinEntryValue(), 0);
    EXPECT_EQ(parameter.GetMaxEntryValue(), 0);
    parameter.AddEntry("Mid", 5);
    parameter.AddEntry("Low", -3);
    parameter.AddEntry("High", std::numeric_limits<int64_t>::max());
    EXPECT_EQ(parameter.GetMinEntryValue(), -3);
    EXPECT_EQ(parameter.GetMaxEntryValue(), std::numeric_limits<int64_t>::max());
}

TEST(ParamEnum, AnyTextIsStoredAndItsRangeIsThatOfATextParameter) {
    ParamEnum parameter = OffOn();
    parameter.SetFromText("Sometimes");
    EXPECT_EQ(parameter.mValue, "Sometimes");
    EXPECT_FALSE(parameter.IsInRange());
    parameter.SetFromText("On");
    EXPECT_TRUE(parameter.IsInRange());
    EXPECT_EQ(parameter.GetRangeText(), "[On..On]");  // from the initial text
}

TEST(ParamEnum, CloneKeepsTypeAndEntries) {
    ParamEnum parameter = OffOn();
    parameter.SetIndex(1);
    const std::unique_ptr<Param_> clone = parameter.Clone();
    auto* copy = dynamic_cast<ParamEnum*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->mEntries, parameter.mEntries);
    EXPECT_EQ(copy->GetIntValue(), 1);
    EXPECT_TRUE(copy->IsInRange());
}

}  // namespace
