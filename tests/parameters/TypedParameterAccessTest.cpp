// Typed access to parameter values by name, and handing the driver settings to the driver state.

#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <boost/numeric/conversion/cast.hpp>

#include "driver/DriverState.h"
#include "parameters/CameraParameters.h"
#include "parameters/DriverSettings.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "parameters/TypedParameterAccess.h"

namespace {

// Expects the call to throw exactly Exception with exactly that text.
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
        mSet.AddParameter_(std::make_unique<Param<double>>("Analog", "Gamma", 1.0, 0.0, 4.0, 0.0));
        mSet.AddParameter_(std::make_unique<Param<std::string>>("Device", "DeviceUserID", "cam"));
    }

    void AddWidth(int64_t value) {
        mSet.AddParameter_(std::make_unique<Param<int64_t>>("ImageFormat", "Width", value));
    }

    int mPort = 0;
    CameraParameters mSet{&mPort, "Model (1)"};
};

TEST_F(TypedParameterAccessTest, GetFindsANameIgnoringCase) {
    EXPECT_TRUE(GetParameter<bool>(mSet, "usebgr"));
    EXPECT_EQ(GetParameter<int>(mSet, "BUFFERCOUNT"), 5);
    EXPECT_EQ(GetParameter<double>(mSet, "gamma"), 1.0);
}

TEST_F(TypedParameterAccessTest, GetOfAnotherTypeThrows) {
    ExpectThrowWithText<std::runtime_error>(
        [&] { GetParameter<int>(mSet, "UseBGR"); },
        "Camera::GetParameter: Parameter 'UseBGR' accessed by wrong type");
    // No conversions between numeric types either.
    EXPECT_THROW(GetParameter<int64_t>(mSet, "BufferCount"), std::runtime_error);
    EXPECT_THROW(GetParameter<double>(mSet, "BufferCount"), std::runtime_error);
    EXPECT_THROW(GetParameter<unsigned>(mSet, "BufferCount"), std::runtime_error);
}

TEST_F(TypedParameterAccessTest, GetOfAMissingNameThrowsOutOfRange) {
    ExpectThrowWithText<std::out_of_range>(
        [&] { GetParameter<int64_t>(mSet, "Width"); },
        "Camera::GetParameter: Parameter 'Width' does not exist");
    // The message quotes the name as asked for.
    ExpectThrowWithText<std::out_of_range>(
        [&] { GetParameter<int64_t>(mSet, "width"); },
        "Camera::GetParameter: Parameter 'width' does not exist");
}

TEST_F(TypedParameterAccessTest, AnEnumerationReadsAsTextAndYieldsItsEntryName) {
    EXPECT_EQ(GetParameter<std::string>(mSet, "TriggerMode"), "On");
    EXPECT_EQ(GetParameter<std::string>(mSet, "DeviceUserID"), "cam");
}

TEST_F(TypedParameterAccessTest, SetStoresTheValueWithoutCheckingIt) {
    SetParameter<int>(mSet, "bufferCount", 99);
    EXPECT_EQ(GetParameter<int>(mSet, "BufferCount"), 99);
    auto* bufferCount = dynamic_cast<Param<int>*>(mSet.Find("BufferCount"));
    EXPECT_FALSE(bufferCount->IsInRange());
    EXPECT_EQ(bufferCount->mDefault, 5);

    SetParameter<std::string>(mSet, "TriggerMode", "NoSuchEntry");
    EXPECT_EQ(GetParameter<std::string>(mSet, "TriggerMode"), "NoSuchEntry");
}

TEST_F(TypedParameterAccessTest, SetLeavesTheTextCacheAlone) {
    auto* gamma = dynamic_cast<Param<double>*>(mSet.Find("Gamma"));
    gamma->GetValueText();
    SetParameter<double>(mSet, "Gamma", 2.2);
    EXPECT_EQ(gamma->mValueText, "1");
    EXPECT_EQ(gamma->GetValueText(), "2.2000000000000002");
}

TEST_F(TypedParameterAccessTest, SetOfAMissingNameOrAnotherTypeThrowsAndChangesNothing) {
    ExpectThrowWithText<std::runtime_error>([&] { SetParameter<double>(mSet, "Exposure", 1.0); },
                                            "Camera::SetParameter: Parameter 'Exposure' not found");
    ExpectThrowWithText<std::runtime_error>(
        [&] { SetParameter<bool>(mSet, "Heartbeat", false); },
        "Camera::SetParameter: Parameter 'Heartbeat' accessed by wrong type");
    EXPECT_EQ(GetParameter<int>(mSet, "Heartbeat"), 3000);
    EXPECT_EQ(mSet.size(), 10u);
}

TEST_F(TypedParameterAccessTest, NarrowingAcceptsTheWholeIntRange) {
    AddWidth(std::numeric_limits<int>::max());
    EXPECT_EQ(GetParameterAsInt(mSet, "Width"), std::numeric_limits<int>::max());
    SetParameter<int64_t>(mSet, "Width", std::numeric_limits<int>::min());
    EXPECT_EQ(GetParameterAsInt(mSet, "width"), std::numeric_limits<int>::min());
}

TEST_F(TypedParameterAccessTest, NarrowingReportsOverflowInBothDirections) {
    AddWidth(INT64_C(5000000000));
    ExpectThrowWithText<boost::numeric::positive_overflow>(
        [&] { GetParameterAsInt(mSet, "Width"); }, "bad numeric conversion: positive overflow");
    SetParameter<int64_t>(mSet, "Width", -INT64_C(5000000000));
    ExpectThrowWithText<boost::numeric::negative_overflow>(
        [&] { GetParameterAsInt(mSet, "Width"); }, "bad numeric conversion: negative overflow");
    SetParameter<int64_t>(mSet, "Width", int64_t{std::numeric_limits<int>::max()} + 1);
    EXPECT_THROW(GetParameterAsInt(mSet, "Width"), boost::numeric::bad_numeric_cast);
}

TEST_F(TypedParameterAccessTest, NarrowingNeedsA64BitParameter) {
    EXPECT_THROW(GetParameterAsInt(mSet, "Height"), std::out_of_range);
    EXPECT_THROW(GetParameterAsInt(mSet, "BufferCount"), std::runtime_error);
}

TEST_F(TypedParameterAccessTest, DriverSettingsOfANewSetReachTheDriverState) {
    DriverState state;
    EXPECT_EQ(state.mLogLevel, 2);
    ApplyDriverSettings(mSet, state);
    EXPECT_EQ(state.mLogLevel, 1);  // the setting's default, not the state's own
    EXPECT_FALSE(state.mLogIntoFile);
    EXPECT_TRUE(state.mInhibitPylonTerminate);
}

TEST_F(TypedParameterAccessTest, ChangedDriverSettingsReachTheDriverState) {
    SetParameter<int>(mSet, "LogLevel", 3);
    SetParameter<bool>(mSet, "LogIntoFile", true);
    SetParameter<bool>(mSet, "InhibitPylonTerminate", false);
    DriverState state;
    state.mInhibitPylonTerminate = true;
    ApplyDriverSettings(mSet, state);
    EXPECT_EQ(state.mLogLevel, 3);
    EXPECT_TRUE(state.mLogIntoFile);
    EXPECT_FALSE(state.mInhibitPylonTerminate);
}

TEST_F(TypedParameterAccessTest, AFailingSettingKeepsTheFieldsAssignedBeforeIt) {
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
    EXPECT_FALSE(state.mInhibitPylonTerminate);

    partial.ClearParameters();
    partial.AddParameter_(std::make_unique<Param<int>>("General", "LogLevel", 0));
    partial.AddParameter_(std::make_unique<Param<bool>>("General", "LogIntoFile", true));
    ExpectThrowWithText<std::out_of_range>(
        [&] { ApplyDriverSettings(partial, state); },
        "Camera::GetParameter: Parameter 'InhibitPylonTerminate' does not exist");
    EXPECT_EQ(state.mLogLevel, 0);
    EXPECT_TRUE(state.mLogIntoFile);
}

}  // namespace
