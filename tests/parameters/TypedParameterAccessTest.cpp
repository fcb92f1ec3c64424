// Typed access to parameter values by name, and handing the driver settings to the driver state.

#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <boost/numeric/conversion/cast.hpp>

#include "base/DriverState.h"
#include "parameters/CameraParameters.h"
#include "parameters/DriverSettings.h"
#include "parameters/ParamEnum.h"
#include "parameters/TypedParameterAccess.h"

namespace {

template <typename Exception, typename Call>
void ExpectThrowWithText(Call&& call, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const Exception& error) {
        EXPECT_EQ(error.what(), text);
    }
}

class TypedParameterAccessTest : public ::testing::Test {
  protected:
    TypedParameterAccessTest() {
        auto mode = std::make_unique<ParamEnum>("Acquisition", "TriggerMode", "");
        mode->AddEntry("Off", 0);
        mode->AddEntry("On", 1);
        mode->SetIntValue(1);
        mSet.AddParameter_(std::move(mode));
        mSet.AddParameter_(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640));
    }

    CameraParameters mSet{nullptr, "Model (1)"};
};

TEST_F(TypedParameterAccessTest, GetChecksNameIgnoringCaseThenDynamicType) {
    EXPECT_TRUE(GetParameter<bool>(mSet, "usebgr"));
    EXPECT_EQ(GetParameter<std::string>(mSet, "TriggerMode"), "On");  // enumeration as text
    ExpectThrowWithText<std::runtime_error>(
        [&] { GetParameter<int>(mSet, "UseBGR"); },
        "Camera::GetParameter: Parameter 'UseBGR' accessed by wrong type");
    EXPECT_THROW(GetParameter<int64_t>(mSet, "BufferCount"), std::runtime_error);  // no widening
    ExpectThrowWithText<std::out_of_range>(
        [&] { GetParameter<int64_t>(mSet, "Height"); },
        "Camera::GetParameter: Parameter 'Height' does not exist");
}

TEST_F(TypedParameterAccessTest, SetStoresWithoutCheckingOrFailsWithoutChanging) {
    auto& bufferCount = dynamic_cast<Param<int>&>(*mSet.Find("BufferCount"));
    bufferCount.GetValueText();
    SetParameter<int>(mSet, "bufferCOUNT", 99);
    EXPECT_EQ(bufferCount.mValue, 99);
    EXPECT_FALSE(bufferCount.IsInRange());
    EXPECT_EQ(bufferCount.mValueText, "5");  // the cache is not refreshed

    SetParameter<std::string>(mSet, "TriggerMode", "NoSuchEntry");
    EXPECT_EQ(GetParameter<std::string>(mSet, "TriggerMode"), "NoSuchEntry");

    ExpectThrowWithText<std::runtime_error>([&] { SetParameter<double>(mSet, "Gamma", 1.0); },
                                            "Camera::SetParameter: Parameter 'Gamma' not found");
    ExpectThrowWithText<std::runtime_error>(
        [&] { SetParameter<bool>(mSet, "BufferCount", false); },
        "Camera::SetParameter: Parameter 'BufferCount' accessed by wrong type");
    EXPECT_EQ(bufferCount.mValue, 99);
}

TEST_F(TypedParameterAccessTest, NarrowingToIntDetectsOverflowBothWays) {
    SetParameter<int64_t>(mSet, "Width", std::numeric_limits<int>::min());
    EXPECT_EQ(GetParameterAsInt(mSet, "width"), std::numeric_limits<int>::min());
    SetParameter<int64_t>(mSet, "Width", INT64_C(5000000000));
    ExpectThrowWithText<boost::numeric::positive_overflow>(
        [&] { GetParameterAsInt(mSet, "Width"); }, "bad numeric conversion: positive overflow");
    SetParameter<int64_t>(mSet, "Width", int64_t{std::numeric_limits<int>::min()} - 1);
    ExpectThrowWithText<boost::numeric::negative_overflow>(
        [&] { GetParameterAsInt(mSet, "Width"); }, "bad numeric conversion: negative overflow");
}

TEST_F(TypedParameterAccessTest, DriverSettingsReachTheDriverState) {
    DriverState state;
    ASSERT_EQ(state.mLogLevel, 2);
    ApplyDriverSettings(mSet, state);
    EXPECT_EQ(state.mLogLevel, 1);  // the setting's default replaces the state's own
    EXPECT_FALSE(state.mLogIntoFile);
    EXPECT_TRUE(state.mInhibitPylonTerminate);

    SetParameter<int>(mSet, "LogLevel", 3);
    SetParameter<bool>(mSet, "LogIntoFile", true);
    SetParameter<bool>(mSet, "InhibitPylonTerminate", false);
    ApplyDriverSettings(mSet, state);
    EXPECT_EQ(state.mLogLevel, 3);
    EXPECT_TRUE(state.mLogIntoFile);
    EXPECT_FALSE(state.mInhibitPylonTerminate);
}

TEST_F(TypedParameterAccessTest, AFailingDriverSettingKeepsTheFieldsAssignedBeforeIt) {
    CameraParameters partial(nullptr, "");
    partial.ClearParameters();
    partial.AddParameter_(std::make_unique<Param<int>>("General", "LogLevel", 4));
    partial.AddParameter_(std::make_unique<Param<int>>("General", "LogIntoFile", 1));
    DriverState state;
    ExpectThrowWithText<std::runtime_error>(
        [&] { ApplyDriverSettings(partial, state); },
        "Camera::GetParameter: Parameter 'LogIntoFile' accessed by wrong type");
    EXPECT_EQ(state.mLogLevel, 4);
    EXPECT_FALSE(state.mLogIntoFile);

    partial.ClearParameters();
    partial.AddParameter_(std::make_unique<Param<int>>("General", "LogLevel", 0));
    partial.AddParameter_(std::make_unique<Param<bool>>("General", "LogIntoFile", true));
    ExpectThrowWithText<std::out_of_range>(
        [&] { ApplyDriverSettings(partial, state); },
        "Camera::GetParameter: Parameter 'InhibitPylonTerminate' does not exist");
    EXPECT_EQ(state.mLogLevel, 0);
    EXPECT_TRUE(state.mLogIntoFile);
    EXPECT_FALSE(state.mInhibitPylonTerminate);
}

}  // namespace
