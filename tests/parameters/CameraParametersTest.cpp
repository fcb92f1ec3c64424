// The parameter set: driver settings, insertion and look-up, deep and value copies, collapse
// flags.

#include <atomic>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ParameterTestSupport.h"
#include "parameters/CameraParameters.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

using partest::Get;
using partest::Names;

// Counts live instances, to see when the set deletes one.
class CountedParam : public Param<int> {
  public:
    explicit CountedParam(const std::string& name) : Param<int>("Cat", name, 0) { ++sLive; }
    ~CountedParam() override { --sLive; }
    static int sLive;
};
int CountedParam::sLive = 0;

class CameraParametersTest : public ::testing::Test {
  protected:
    template <typename P, typename... Args>
    P& Add(Args&&... args) {
        auto parameter = std::make_unique<P>(std::forward<Args>(args)...);
        P& added = *parameter;
        EXPECT_TRUE(mSet.AddParameter_(std::move(parameter)));
        return added;
    }

    std::atomic<int> mPort{3};
    CameraParameters mSet{&mPort, "Model (123)"};
};

TEST_F(CameraParametersTest, ANewSetStartsWithTheSevenDriverSettings) {
    const struct {
        const char* name;
        const char* value;
        const char* range;  // null for the bools
        bool persistent;
    } expected[] = {
        {"LogLevel", "1", "[0..4]", true},
        {"LogIntoFile", "0", nullptr, false},
        {"UseBGR", "1", nullptr, true},
        {"InhibitPylonTerminate", "1", nullptr, true},
        {"BufferCount", "5", "[3..25]", true},
        {"Reconnect", "1", nullptr, true},
        {"Heartbeat", "3000", "[1000..300000]", true},
    };
    ASSERT_EQ(mSet.size(), 7u);
    auto it = mSet.begin();
    for (const auto& e : expected) {
        Param_& setting = *it++;
        SCOPED_TRACE(e.name);
        EXPECT_EQ(setting.mName, e.name);
        EXPECT_EQ(setting.GetValueText(), e.value);
        if (e.range != nullptr) {
            auto& integer = dynamic_cast<Param<int>&>(setting);
            EXPECT_EQ(integer.GetRangeText(), e.range);
            EXPECT_EQ(integer.mInc, 0);
            EXPECT_EQ(integer.mDefault, integer.mValue);
        } else {
            EXPECT_NE(dynamic_cast<Param<bool>*>(&setting), nullptr);
        }
        EXPECT_EQ(setting.mPersistent, e.persistent);
        EXPECT_EQ(setting.mCategory, "General");
        EXPECT_TRUE(setting.mGeneral && setting.mWritable && setting.mVisible);
        EXPECT_FALSE(setting.mVolatile || setting.mChunk);
        EXPECT_TRUE(setting.mOptions.empty());
    }
    EXPECT_EQ(mSet.Find("UseBGR")->mDescription, "");
    EXPECT_EQ(mSet.Find("InhibitPylonTerminate")->mDescription,
              "If enabled Pylon terminate function will not be called. Enable when using several "
              "pylon drivers in the same profile, for example Basler Runner together with Area "
              "Scan gige or firewire cameras");
    EXPECT_EQ(mSet.Find("BufferCount")->mDescription, "Pylon image queue size for each camera.");
    EXPECT_EQ(mSet.Find("Reconnect")->mDescription,
              "Try to periodically reconnect camera if device removal is detected.");
    EXPECT_EQ(mSet.Find("Heartbeat")->mDescription,
              "Heartbeat interval in ms. Determines how quickly camera removal is detected. Not "
              "applicable to some cameras.");
}

TEST_F(CameraParametersTest, AddParameterRejectsNullWithItsText) {
    try {
        mSet.AddParameter_(nullptr);
        FAIL();
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "CameraParameters::AddParameter_ null argument");
    }
}

TEST_F(CameraParametersTest, ADuplicateNameIgnoringCaseKeepsTheFirstAndDeletesTheLater) {
    CountedParam::sLive = 0;
    Add<CountedParam>("Gain");
    EXPECT_FALSE(mSet.AddParameter_(std::make_unique<CountedParam>("GAIN")));
    EXPECT_EQ(CountedParam::sLive, 1);
    EXPECT_EQ(mSet.Find("gain")->mName, "Gain");

    // A camera feature named like a driver setting loses against the setting.
    EXPECT_FALSE(mSet.AddParameter_(std::make_unique<Param<int64_t>>("TL", "heartbeat", 500)));
    EXPECT_FALSE(mSet.AddCopy(Param<double>("Cat", "LOGLEVEL", 1.0)));
    EXPECT_EQ(mSet.Find("Heartbeat")->mCategory, "General");
    EXPECT_EQ(mSet.size(), 8u);
}

TEST_F(CameraParametersTest, LookUpIgnoresCaseAndIterationKeepsInsertionOrder) {
    Add<Param<int64_t>>("ImageFormat", "Width", 640);
    Add<Param<int64_t>>("ImageFormat", "Height", 480);
    // '_' and '[' lie between 'Z' and 'a'; folding to lower case keeps these names apart.
    Add<Param<int>>("Cat", "A_", 1);
    Add<Param<int>>("Cat", "AB", 2);
    Add<Param<int>>("Cat", "a[", 3);
    EXPECT_EQ(Get<Param<int64_t>>(mSet, "WIDTH").mValue, 640);
    EXPECT_EQ(Get<Param<int>>(mSet, "a_").mValue, 1);
    EXPECT_EQ(Get<Param<int>>(mSet, "ab").mValue, 2);
    EXPECT_EQ(Get<Param<int>>(mSet, "A[").mValue, 3);
    EXPECT_FALSE(mSet.Contains("Width "));
    EXPECT_EQ(mSet.Find("Depth"), nullptr);

    const std::vector<std::string> names = Names(mSet);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 7, names.end()),
              (std::vector<std::string>{"Width", "Height", "A_", "AB", "a["}));
}

TEST_F(CameraParametersTest, ClearParametersEmptiesListAndIndex) {
    mSet.ClearParameters();
    EXPECT_EQ(mSet.begin(), mSet.end());
    EXPECT_FALSE(mSet.Contains("LogLevel"));
    Add<Param<bool>>("X", "loglevel", true);
    EXPECT_EQ(Names(mSet), std::vector<std::string>{"loglevel"});
}

TEST_F(CameraParametersTest, AssignMakesAnIndependentDeepCopy) {
    auto& mode = Add<ParamEnum>("Acquisition", "TriggerMode", "");
    mode.AddEntry("Off", 0);
    mode.AddEntry("On", 1);
    mode.SetOption("NodeName", sdk::gcstring("TriggerMode"));
    mSet.Assign(mSet);  // to itself: nothing changes
    EXPECT_EQ(mSet.size(), 8u);

    std::atomic<int> backupPort{7};
    CameraParameters backup(&backupPort, "Backup");
    backup.AddParameter_(std::make_unique<Param<int>>("Cat", "OnlyInBackup", 1));
    backup.Assign(mSet);
    EXPECT_EQ(Names(backup), Names(mSet));
    EXPECT_EQ(backup.GetCameraPort(), 7);

    auto& copy = Get<ParamEnum>(backup, "TriggerMode");
    EXPECT_NE(&copy, &mode);
    EXPECT_EQ(copy.mEntries, mode.mEntries);
    copy.SetOption("NodeName", sdk::gcstring("Changed"));
    copy.mValue = "On";
    EXPECT_EQ(mode.GetOption<sdk::gcstring>("NodeName").str(), "TriggerMode");
    EXPECT_EQ(mode.mValue, "Off");
}

TEST_F(CameraParametersTest, CopyValuesFromCopiesOnlyValuesOfMatchingTypes) {
    auto& width = Add<Param<int64_t>>("ImageFormat", "Width", 640, 16, 1920, 16);
    auto& gamma = Add<Param<double>>("Analog", "Gamma", 1.0);
    Add<Param<int>>("Cat", "OnlyHere", 1);

    CameraParameters other(nullptr, "");
    other.AddParameter_(std::make_unique<Param<int64_t>>("Other", "WIDTH", 800, 0, 9000, 1));
    other.AddParameter_(std::make_unique<Param<int>>("Analog", "Gamma", 3));
    other.AddParameter_(std::make_unique<Param<int>>("Cat", "OnlyThere", 9));
    Get<Param<int>>(other, "BufferCount").mValue = 12;
    other.Find("Reconnect")->mVisible = false;

    mSet.CopyValuesFrom(other);
    EXPECT_EQ(width.mValue, 800);
    EXPECT_EQ(width.GetRangeText(), "[16..1920]");
    EXPECT_EQ(width.mCategory, "ImageFormat");
    EXPECT_EQ(gamma.mValue, 1.0);
    EXPECT_EQ(Get<Param<int>>(mSet, "BufferCount").mValue, 12);
    EXPECT_TRUE(mSet.Find("Reconnect")->mVisible);
    EXPECT_FALSE(mSet.Contains("OnlyThere"));
}

TEST_F(CameraParametersTest, CollapseFlagsOnePerVisibleCategoryCreatedOnce) {
    Add<Param<int64_t>>("ImageFormat", "Width", 640);
    Add<Param<double>>("AnalogControls", "Gamma", 1.0);
    Add<Param<int64_t>>("ImageFormat", "Height", 480);
    Add<Param<int>>("Hidden", "Secret", 0).mVisible = false;
    Add<Param<int>>("", "NoCategory", 0);

    mSet.CreateCollapseStatus();
    const std::vector<std::string> names = Names(mSet);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 12, names.end()),
              (std::vector<std::string>{"General_CollapseStatus", "ImageFormat_CollapseStatus",
                                        "AnalogControls_CollapseStatus"}));
    for (const std::string category : {"General", "ImageFormat", "AnalogControls"}) {
        SCOPED_TRACE(category);
        const auto& flag = Get<Param<bool>>(mSet, category + "_CollapseStatus");
        EXPECT_TRUE(flag.mValue);
        EXPECT_EQ(flag.mCategory, "General");
        EXPECT_TRUE(flag.mGeneral);
        EXPECT_FALSE(flag.mPersistent || flag.mVisible || flag.mWritable);
        EXPECT_EQ(flag.GetOption<std::string>("SectionName"), category);
    }

    Get<Param<bool>>(mSet, "ImageFormat_CollapseStatus").mValue = false;
    mSet.CreateCollapseStatus();
    EXPECT_EQ(mSet.size(), names.size());
    EXPECT_FALSE(Get<Param<bool>>(mSet, "ImageFormat_CollapseStatus").mValue);
}

}  // namespace
