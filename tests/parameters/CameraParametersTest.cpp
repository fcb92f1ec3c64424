// The parameter set: driver settings, insertion, look-up, deep and value copies, collapse flags.

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "parameters/CameraParameters.h"
#include "parameters/NoCaseLess.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

const std::vector<std::string> kDriverSettings = {
    "LogLevel",    "LogIntoFile", "UseBGR",   "InhibitPylonTerminate",
    "BufferCount", "Reconnect",   "Heartbeat"};

std::vector<std::string> Names(const CameraParameters& parameters) {
    std::vector<std::string> names;
    for (const Param_& parameter : parameters) {
        names.push_back(parameter.mName);
    }
    return names;
}

// Counts live instances, to see when the set deletes a parameter.
class CountedParam : public Param<int> {
  public:
    CountedParam(const std::string& name, int value) : Param<int>("Cat", name, value) { ++sLive; }
    CountedParam(const CountedParam& other) : Param<int>(other) { ++sLive; }
    ~CountedParam() override { --sLive; }
    std::unique_ptr<Param_> Clone() const override { return std::make_unique<CountedParam>(*this); }
    static int sLive;
};
int CountedParam::sLive = 0;

// The parameter of that name as a P; fails the test when there is none of that type.
template <typename P>
P& As(CameraParameters& parameters, const std::string& name) {
    auto* typed = dynamic_cast<P*>(parameters.Find(name));
    if (typed == nullptr) {
        throw std::runtime_error("no parameter " + name + " of the expected type");
    }
    return *typed;
}

class CameraParametersTest : public ::testing::Test {
  protected:
    int mPort = 3;
    CameraParameters mSet{&mPort, "Model (123)"};

    Param_& Add(std::unique_ptr<Param_> parameter) {
        Param_& added = *parameter;
        EXPECT_TRUE(mSet.AddParameter_(std::move(parameter)));
        return added;
    }
};

TEST_F(CameraParametersTest, ANewSetHoldsTheSevenDriverSettingsInOrder) {
    EXPECT_EQ(Names(mSet), kDriverSettings);
    EXPECT_EQ(mSet.size(), 7u);
}

TEST_F(CameraParametersTest, DriverSettingValuesAndRanges) {
    const auto& logLevel = As<Param<int>>(mSet, "LogLevel");
    EXPECT_EQ(logLevel.mValue, 1);
    EXPECT_EQ(logLevel.GetRangeText(), "[0..4]");
    EXPECT_EQ(logLevel.mInc, 0);
    EXPECT_FALSE(As<Param<bool>>(mSet, "LogIntoFile").mValue);
    EXPECT_TRUE(As<Param<bool>>(mSet, "UseBGR").mValue);
    EXPECT_TRUE(As<Param<bool>>(mSet, "InhibitPylonTerminate").mValue);
    const auto& bufferCount = As<Param<int>>(mSet, "BufferCount");
    EXPECT_EQ(bufferCount.mValue, 5);
    EXPECT_EQ(bufferCount.GetRangeText(), "[3..25]");
    EXPECT_EQ(bufferCount.mInc, 0);
    EXPECT_TRUE(As<Param<bool>>(mSet, "Reconnect").mValue);
    const auto& heartbeat = As<Param<int>>(mSet, "Heartbeat");
    EXPECT_EQ(heartbeat.mValue, 3000);
    EXPECT_EQ(heartbeat.GetRangeText(), "[1000..300000]");
    EXPECT_EQ(heartbeat.mInc, 0);
}

TEST_F(CameraParametersTest, DriverSettingRangeEdges) {
    auto& bufferCount = As<Param<int>>(mSet, "BufferCount");
    for (int value : {3, 25}) {
        bufferCount.mValue = value;
        EXPECT_TRUE(bufferCount.IsInRange()) << value;
    }
    for (int value : {2, 26}) {
        bufferCount.mValue = value;
        EXPECT_FALSE(bufferCount.IsInRange()) << value;
    }
    auto& heartbeat = As<Param<int>>(mSet, "Heartbeat");
    heartbeat.mValue = 999;
    EXPECT_FALSE(heartbeat.IsInRange());
    heartbeat.mValue = 300000;
    EXPECT_TRUE(heartbeat.IsInRange());
}

TEST_F(CameraParametersTest, DriverSettingFlagsDefaultsAndDescriptions) {
    for (const Param_& setting : mSet) {
        SCOPED_TRACE(setting.mName);
        EXPECT_EQ(setting.mCategory, "General");
        EXPECT_TRUE(setting.mGeneral);
        EXPECT_TRUE(setting.mWritable);
        EXPECT_TRUE(setting.mVisible);
        EXPECT_FALSE(setting.mVolatile);
        EXPECT_FALSE(setting.mChunk);
        EXPECT_TRUE(setting.mOptions.empty());
        EXPECT_EQ(setting.mPersistent, setting.mName != "LogIntoFile");
    }
    EXPECT_EQ(As<Param<int>>(mSet, "LogLevel").mDefault, 1);
    EXPECT_EQ(As<Param<int>>(mSet, "Heartbeat").mDefault, 3000);
    EXPECT_TRUE(As<Param<bool>>(mSet, "UseBGR").mDefault);

    EXPECT_EQ(mSet.Find("LogLevel")->mDescription, "");
    EXPECT_EQ(mSet.Find("LogIntoFile")->mDescription, "");
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

TEST_F(CameraParametersTest, KnowsItsPortAndCameraName) {
    EXPECT_EQ(mSet.GetCameraPort(), 3);
    mPort = -1;  // follows the camera's port
    EXPECT_EQ(mSet.GetCameraPort(), -1);
    EXPECT_EQ(mSet.GetCameraName(), "Model (123)");
    EXPECT_FALSE(mSet.IsChunkModeActive());

    const CameraParameters unbound(nullptr, "");
    EXPECT_EQ(unbound.GetCameraPort(), -1);
}

TEST_F(CameraParametersTest, AddParameterRejectsNullWithItsText) {
    try {
        mSet.AddParameter_(nullptr);
        FAIL() << "no exception";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "CameraParameters::AddParameter_ null argument");
    }
    EXPECT_EQ(mSet.size(), 7u);
}

TEST_F(CameraParametersTest, ADuplicateNameIgnoringCaseKeepsTheFirstAndDeletesTheNewOne) {
    CountedParam::sLive = 0;
    Add(std::make_unique<CountedParam>("Gain", 1));
    EXPECT_FALSE(mSet.AddParameter_(std::make_unique<CountedParam>("GAIN", 2)));
    EXPECT_EQ(CountedParam::sLive, 1);
    EXPECT_EQ(mSet.size(), 8u);
    EXPECT_EQ(mSet.Find("gain")->mName, "Gain");
    EXPECT_EQ(As<Param<int>>(mSet, "Gain").mValue, 1);
}

TEST_F(CameraParametersTest, ACameraFeatureNamedLikeADriverSettingIsDropped) {
    EXPECT_FALSE(
        mSet.AddParameter_(std::make_unique<Param<int64_t>>("TransportLayer", "heartbeat", 500)));
    EXPECT_EQ(mSet.Find("Heartbeat")->mCategory, "General");
    EXPECT_NE(dynamic_cast<const Param<int>*>(mSet.Find("Heartbeat")), nullptr);
}

TEST_F(CameraParametersTest, LookUpIgnoresCaseAndIterationKeepsInsertionOrder) {
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640));
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Height", 480));
    Add(std::make_unique<Param<double>>("Analog", "All_GainRaw", 1.0));
    EXPECT_TRUE(mSet.Contains("WIDTH"));
    EXPECT_TRUE(mSet.Contains("all_gainraw"));
    EXPECT_FALSE(mSet.Contains("Width "));
    EXPECT_FALSE(mSet.Contains(""));
    EXPECT_EQ(mSet.Find("Depth"), nullptr);
    const CameraParameters& constSet = mSet;
    EXPECT_EQ(constSet.Find("height"), mSet.Find("Height"));

    std::vector<std::string> expected = kDriverSettings;
    expected.insert(expected.end(), {"Width", "Height", "All_GainRaw"});
    EXPECT_EQ(Names(mSet), expected);
}

TEST_F(CameraParametersTest, NamesDifferingOnlyBeyondLettersAreDistinct) {
    // '_' lies between 'Z' and 'a': these must neither collide nor get lost in the index.
    Add(std::make_unique<Param<int>>("Cat", "A_", 1));
    Add(std::make_unique<Param<int>>("Cat", "AB", 2));
    Add(std::make_unique<Param<int>>("Cat", "a[", 3));
    EXPECT_EQ(As<Param<int>>(mSet, "a_").mValue, 1);
    EXPECT_EQ(As<Param<int>>(mSet, "ab").mValue, 2);
    EXPECT_EQ(As<Param<int>>(mSet, "A[").mValue, 3);
}

TEST(NoCaseLess, OrdersLikeStricmp) {
    const NoCaseLess less;
    EXPECT_TRUE(less("A_", "ab"));  // '_' < 'b' after folding to lower case
    EXPECT_FALSE(less("ab", "A_"));
    EXPECT_FALSE(less("Width", "WIDTH"));
    EXPECT_FALSE(less("WIDTH", "Width"));
    EXPECT_TRUE(less("Width", "Widths"));
    EXPECT_TRUE(less("", "a"));
    EXPECT_TRUE(less("z", "\x80"));  // bytes compare unsigned
    EXPECT_TRUE(NoCaseLess::EqualNoCase("ChunkData", "CHUNKDATA"));
    EXPECT_FALSE(NoCaseLess::EqualNoCase("\xC4", "\xE4"));  // only ASCII letters fold
}

TEST_F(CameraParametersTest, AddCopyClonesAndSkipsExistingNames) {
    Param<int> local("Cat", "Offset", 4);
    EXPECT_TRUE(mSet.AddCopy(local));
    local.mValue = 5;
    EXPECT_EQ(As<Param<int>>(mSet, "Offset").mValue, 4);
    EXPECT_NE(mSet.Find("Offset"), &local);
    Param<double> other("Cat", "OFFSET", 1.0);
    EXPECT_FALSE(mSet.AddCopy(other));
    EXPECT_EQ(mSet.size(), 8u);
}

TEST_F(CameraParametersTest, ClearParametersEmptiesListAndIndex) {
    mSet.ClearParameters();
    EXPECT_EQ(mSet.size(), 0u);
    EXPECT_FALSE(mSet.Contains("LogLevel"));
    EXPECT_EQ(mSet.begin(), mSet.end());
    EXPECT_TRUE(mSet.AddParameter_(std::make_unique<Param<bool>>("X", "loglevel", true)));
    EXPECT_EQ(Names(mSet), std::vector<std::string>{"loglevel"});
}

TEST_F(CameraParametersTest, AssignMakesAnIndependentDeepCopy) {
    auto mode = std::make_unique<ParamEnum>("Acquisition", "TriggerMode", "");
    mode->AddEntry("Off", 0);
    mode->AddEntry("On", 1);
    mode->SetOption("NodeName", sdk::gcstring("TriggerMode"));
    mode->mVolatile = true;
    Add(std::move(mode));
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640, 16, 1920, 16));

    int backupPort = 7;
    CameraParameters backup(&backupPort, "Backup");
    backup.AddParameter_(std::make_unique<Param<int>>("Cat", "OnlyInBackup", 1));
    backup.Assign(mSet);

    EXPECT_EQ(Names(backup), Names(mSet));
    EXPECT_FALSE(backup.Contains("OnlyInBackup"));
    EXPECT_EQ(backup.GetCameraName(), "Backup");
    EXPECT_EQ(backup.GetCameraPort(), 7);

    const auto& copiedMode = As<ParamEnum>(backup, "TriggerMode");
    EXPECT_NE(&copiedMode, mSet.Find("TriggerMode"));
    EXPECT_EQ(copiedMode.mEntries.size(), 2u);
    EXPECT_TRUE(copiedMode.mVolatile);
    EXPECT_EQ(copiedMode.GetOption<sdk::gcstring>("NodeName").str(), "TriggerMode");

    // Changing the copy leaves the original alone, options included.
    backup.Find("TriggerMode")->SetOption("NodeName", sdk::gcstring("Changed"));
    As<Param<int64_t>>(backup, "Width").mValue = 1024;
    EXPECT_EQ(mSet.Find("TriggerMode")->GetOption<sdk::gcstring>("NodeName").str(), "TriggerMode");
    EXPECT_EQ(As<Param<int64_t>>(mSet, "Width").mValue, 640);
}

TEST_F(CameraParametersTest, AssignToItselfKeepsEverything) {
    Add(std::make_unique<Param<int>>("Cat", "Extra", 1));
    mSet.Assign(mSet);
    EXPECT_EQ(mSet.size(), 8u);
    EXPECT_TRUE(mSet.Contains("Extra"));
}

TEST_F(CameraParametersTest, CopyValuesFromCopiesOnlyValuesOfMatchingTypes) {
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640, 16, 1920, 16));
    Add(std::make_unique<Param<double>>("Analog", "Gamma", 1.0, 0.0, 4.0, 0.0));
    Add(std::make_unique<Param<int>>("Cat", "OnlyHere", 1));

    CameraParameters other(nullptr, "");
    other.AddParameter_(std::make_unique<Param<int64_t>>("Other", "WIDTH", 800, 0, 9000, 1));
    other.AddParameter_(std::make_unique<Param<int>>("Analog", "Gamma", 3));  // other type
    other.AddParameter_(std::make_unique<Param<int>>("Cat", "OnlyThere", 9));
    As<Param<int>>(other, "BufferCount").mValue = 12;
    other.Find("Reconnect")->mVisible = false;

    mSet.CopyValuesFrom(other);

    const auto& width = As<Param<int64_t>>(mSet, "Width");
    EXPECT_EQ(width.mValue, 800);
    EXPECT_EQ(width.mMin, 16);
    EXPECT_EQ(width.mMax, 1920);
    EXPECT_EQ(width.mInc, 16);
    EXPECT_EQ(width.mDefault, 640);
    EXPECT_EQ(width.mCategory, "ImageFormat");
    EXPECT_EQ(As<Param<double>>(mSet, "Gamma").mValue, 1.0);
    EXPECT_EQ(As<Param<int>>(mSet, "OnlyHere").mValue, 1);
    EXPECT_FALSE(mSet.Contains("OnlyThere"));
    EXPECT_EQ(As<Param<int>>(mSet, "BufferCount").mValue, 12);
    EXPECT_TRUE(mSet.Find("Reconnect")->mVisible);
}

TEST_F(CameraParametersTest, CollapseFlagsOnePerVisibleCategory) {
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640));
    Add(std::make_unique<Param<double>>("AnalogControls", "Gamma", 1.0));
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Height", 480));
    auto hidden = std::make_unique<Param<int>>("Hidden", "Secret", 0);
    hidden->mVisible = false;
    Add(std::move(hidden));
    Add(std::make_unique<Param<int>>("", "NoCategory", 0));

    mSet.CreateCollapseStatus();

    const std::vector<std::string> names = Names(mSet);
    const std::vector<std::string> flags(names.end() - 3, names.end());
    EXPECT_EQ(flags,
              (std::vector<std::string>{"General_CollapseStatus", "ImageFormat_CollapseStatus",
                                        "AnalogControls_CollapseStatus"}));
    EXPECT_EQ(names.size(), 12u + 3u);
    EXPECT_FALSE(mSet.Contains("Hidden_CollapseStatus"));
    EXPECT_FALSE(mSet.Contains("_CollapseStatus"));

    for (const std::string category : {"General", "ImageFormat", "AnalogControls"}) {
        SCOPED_TRACE(category);
        const auto& flag = As<Param<bool>>(mSet, category + "_CollapseStatus");
        EXPECT_TRUE(flag.mValue);
        EXPECT_EQ(flag.mCategory, "General");
        EXPECT_TRUE(flag.mGeneral);
        EXPECT_FALSE(flag.mPersistent);
        EXPECT_FALSE(flag.mVisible);
        EXPECT_FALSE(flag.mWritable);
        EXPECT_EQ(flag.GetOption<std::string>("SectionName"), category);
    }
}

TEST_F(CameraParametersTest, CollapseFlagsAreCreatedOnlyOnce) {
    Add(std::make_unique<Param<int64_t>>("ImageFormat", "Width", 640));
    mSet.CreateCollapseStatus();
    auto& flag = As<Param<bool>>(mSet, "ImageFormat_CollapseStatus");
    flag.mValue = false;  // collapsed by the dialog
    const size_t size = mSet.size();

    mSet.CreateCollapseStatus();
    EXPECT_EQ(mSet.size(), size);
    EXPECT_FALSE(flag.mValue);
}

}  // namespace
