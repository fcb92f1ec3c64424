#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "camera/PropertyValue.h"
#include "ostravelk/ostravelk.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/InstantCamera.h"

// Named properties and commands through the exports, on the two simulated cameras: the GigE
// camera on port 0 and the USB camera on port 1.
namespace {

class NamedProperties : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
        ASSERT_EQ(openCVLPort(0, 1, SimCameras::kUsb, size), 1);
        gige = CameraList::Instance().GetByPort_(0);
        usb = CameraList::Instance().GetByPort_(1);
    }
    void TearDown() override { finalize(); }

    int Get(int port, const char* name) {
        int value = -12345;
        EXPECT_EQ(getProperty(0, port, name, &value), 1) << name;
        return value;
    }
    std::string Cmd(int port, const char* command, const char* argument, int* result = nullptr) {
        char text[128];
        std::memset(text, 'x', sizeof text - 1);
        text[sizeof text - 1] = '\0';
        int ok = execCmd(0, port, command, argument, text, sizeof text);
        if (result) *result = ok;
        return text;
    }
    template <typename T>
    T Value(Camera* camera, const char* name) {
        return Camera::GetParameter<T>(camera->mParameters, name);
    }

    SimCameras sim;
    LogCapture log;
    Camera* gige = nullptr;
    Camera* usb = nullptr;
};

}  // namespace

TEST_F(NamedProperties, AliasesPerCameraKind) {
    EXPECT_EQ(gige->MapPropertyName("EXPOSURE"), "ExposureTimeAbs");
    EXPECT_EQ(gige->MapPropertyName("shutter"), "ExposureTimeAbs");
    EXPECT_EQ(gige->MapPropertyName("Gain"), "All_GainRaw");
    EXPECT_EQ(gige->MapPropertyName("brightness"), "All_BlackLevelRaw");
    EXPECT_EQ(gige->MapPropertyName("framerate"), "AcquisitionFrameRateAbs");
    EXPECT_EQ(usb->MapPropertyName("FrameRate"), "AcquisitionFrameRate");
    EXPECT_EQ(gige->MapPropertyName("Width"), "Width");

    EXPECT_EQ(Get(0, "EXPOSURE"), static_cast<int>(Value<double>(gige, "ExposureTimeAbs")));
    EXPECT_EQ(Get(0, "shutter"), Get(0, "Exposure"));
    EXPECT_EQ(Get(0, "Gain"), static_cast<int>(Value<int64_t>(gige, "All_GainRaw")));
    EXPECT_EQ(Get(1, "framerate"), static_cast<int>(Value<double>(usb, "AcquisitionFrameRate")));
    int value;
    EXPECT_EQ(getProperty(0, 1, "Exposure", &value), 0) << "the USB camera has no ExposureTimeAbs";
}

TEST_F(NamedProperties, GammaTravelsTimesAThousand) {
    Camera::SetParameter<double>(gige->mParameters, "Gamma", 0.45);
    EXPECT_EQ(Get(0, "gamma"), 450);
    EXPECT_EQ(Cmd(0, "get", "Gamma"), "450");
    int min = -1, max = -1;
    ASSERT_EQ(getPropertyRange(0, 0, "Gamma", &min, &max), 1);
    auto* gamma = dynamic_cast<Param<double>*>(gige->mParameters.Find("Gamma"));
    EXPECT_EQ(min, static_cast<int>(gamma->mMin * 1000));
    EXPECT_EQ(max, static_cast<int>(gamma->mMax * 1000));
    ASSERT_EQ(setProperty(0, 0, "GAMMA", 1000), 1);
    EXPECT_DOUBLE_EQ(Value<double>(gige, "Gamma"), 1.0);
}

TEST_F(NamedProperties, RangesByType) {
    GetDriverState().mLogLevel = 2;
    int min = -1, max = -1;
    ASSERT_EQ(getPropertyRange(0, 0, "ReverseX", &min, &max), 1);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 1);
    EXPECT_EQ(getPropertyRange(0, 0, "DeviceUserID", &min, &max), 0) << "a text has no range";
    ASSERT_EQ(getPropertyRange(0, 0, "BufferCount", &min, &max), 1);
    EXPECT_EQ(min, 3);
    EXPECT_EQ(max, 25);
    auto* format = dynamic_cast<ParamEnum*>(gige->mParameters.Find("PixelFormat"));
    ASSERT_EQ(getPropertyRange(0, 0, "PixelFormat", &min, &max), 1);
    EXPECT_EQ(min, format->GetMinEntryValue());
    EXPECT_EQ(max, format->GetMaxEntryValue());
    EXPECT_TRUE(log.Contains("Camera::GetRange: leaving prop=PixelFormat min="));

    log.Clear();
    EXPECT_EQ(getPropertyRange(0, 0, "WidthMax", &min, &max), 0);
    EXPECT_TRUE(
        log.Contains("port99: ERR: getPropertyRange std Exception: bad numeric "
                     "conversion: positive overflow, getPropertyRange"));
    EXPECT_EQ(getPropertyRange(0, 0, "NoSuchFeature", &min, &max), 0);
}

TEST_F(NamedProperties, SetCommandParsesNameAndValue) {
    int ok = 0;
    EXPECT_EQ(Cmd(0, "set", "ExposureTimeAbs=5000", &ok), "");
    EXPECT_EQ(ok, 1);
    EXPECT_DOUBLE_EQ(Value<double>(gige, "ExposureTimeAbs"), 5000.0);
    Cmd(0, "SET", "ExposureTimeAbs", &ok);
    EXPECT_EQ(ok, 0) << "no '='";
    Cmd(0, "set", "DeviceUserID=a=b", &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Value<std::string>(gige, "DeviceUserID"), "a=b") << "split at the first '='";
    Cmd(0, "run", "x", &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_TRUE(log.Contains("port0: ERR: ExecuteCmd unrecognized cmd:run, Camera::ExecuteCmd"));
    EXPECT_EQ(Cmd(0, "get", "PixelSize"), "8");
    EXPECT_EQ(Cmd(1, "get", "PixelSize"), "24");
    EXPECT_EQ(Cmd(0, "get", "NoSuchFeature", &ok), "");
    EXPECT_EQ(ok, 0);
}

TEST_F(NamedProperties, ResultBufferIsNeverOverrun) {
    char small[4];
    std::memset(small, 'x', sizeof small);
    ASSERT_EQ(execCmd(0, 0, "get", "DeviceUserID", small, 0), 1) << "size 0 writes nothing";
    EXPECT_EQ(small[0], 'x');
    Camera::SetParameter<std::string>(gige->mParameters, "DeviceUserID", "LongName");
    ASSERT_EQ(execCmd(0, 0, "get", "DeviceUserID", small, 3), 1);
    EXPECT_STREQ(small, "Lo");
    EXPECT_EQ(small[3], 'x');
    EXPECT_EQ(execCmd(0, 0, "get", "DeviceUserID", nullptr, 100), 1);
}

TEST_F(NamedProperties, EnumerationsByIndexAndByName) {
    auto* format = dynamic_cast<ParamEnum*>(gige->mParameters.Find("PixelFormat"));
    ASSERT_GE(format->mEntries.size(), 3u);
    ASSERT_EQ(setProperty(0, 0, "PixelFormat", 2), 1);
    EXPECT_EQ(format->mValue, format->mEntries[2]);
    EXPECT_EQ(Get(0, "PixelFormat"), 2);
    ASSERT_EQ(setProperty(0, 0, "PixelFormat", 99), 0) << "no entry has that index";
    EXPECT_EQ(format->mValue, format->mEntries[2]) << "an index beyond the entries changes nothing";
    int ok = 0;
    Cmd(0, "set", ("PixelFormat=" + format->mEntries[0]).c_str(), &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(format->mValue, format->mEntries[0]);
    EXPECT_EQ(Cmd(0, "get", "PixelFormat"), format->mEntries[0]);
}

TEST_F(NamedProperties, LoggingNamesChangeTheDriverState) {
    DriverState& state = GetDriverState();
    EXPECT_EQ(setProperty(0, 0, "LogLevel", 3), 1);
    EXPECT_EQ(state.mLogLevel, 3);
    EXPECT_EQ(Value<int>(gige, "LogLevel"), 3);
    EXPECT_EQ(setProperty(0, 0, "DebugView", 0), 0) << "no parameter of that name";
    EXPECT_EQ(state.mLogDebugView, 0);
    EXPECT_EQ(Get(0, "LogDebugView"), 0);
    EXPECT_EQ(setProperty(0, 0, "debugviewoutput", 2), 0);
    EXPECT_EQ(Get(0, "DebugView"), 2);
}

TEST_F(NamedProperties, SpecialNames) {
    EXPECT_EQ(Get(0, "MissedQueue"), 0);
    EXPECT_EQ(Get(0, "MissedPylon"), 0);
    EXPECT_EQ(Get(0, "FrameCount"), 0);
    EXPECT_EQ(Get(0, "CurrentFrame"), 0);
    EXPECT_GT(Get(0, "MemoryUsed"), 0) << "resident set size in MiB";
    EXPECT_EQ(Get(0, "continuous"), 0);
    ASSERT_EQ(setProperty(0, 0, "continous", 1), 1);
    EXPECT_EQ(Get(0, "continuous"), 1);
    EXPECT_TRUE(gige->mInstantCamera->IsGrabbing());
    ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
    EXPECT_FALSE(gige->mContinuousGrab);
    EXPECT_FALSE(gige->mInstantCamera->IsGrabbing());
    EXPECT_EQ(setProperty(0, 0, "Reset", 12345), 1) << "DeviceReset, whatever the value";
}

TEST_F(NamedProperties, TriggerPropertiesRecheckTheSoftwareTrigger) {
    EXPECT_FALSE(gige->mUseSoftwareTrigger);
    int ok = 0;
    Cmd(0, "set", "FrameStart_TriggerSource=Software", &ok);
    ASSERT_EQ(ok, 1);
    Cmd(0, "set", "FrameStart_TriggerMode=On", &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_TRUE(gige->mUseSoftwareTrigger);
    ASSERT_EQ(setProperty(0, 0, "FrameStart_TriggerMode", 0), 1);
    EXPECT_FALSE(gige->mUseSoftwareTrigger);
}

TEST_F(NamedProperties, ClosedCameraAnswersButRefusesWrites) {
    closeCVLPort(0, 0);
    int value = 0;
    EXPECT_EQ(getProperty(0, 0, "Width", &value), 1);
    EXPECT_EQ(setProperty(0, 0, "Width", 640), 0);
    int ok = 0;
    EXPECT_EQ(Cmd(0, "get", "Width", &ok), std::to_string(value));
    EXPECT_EQ(ok, 1);
}

// What the camera holds for a feature, read from the device itself.
std::string DeviceValue(Camera* camera, const char* node) {
    return camera->mInstantCamera->GetNodeMap().GetNode(node)->ToString().c_str();
}

TEST_F(NamedProperties, RefusedValuesReturnZeroWriteNothingAndReadWhatTheCameraHolds) {
    struct Case {
        const char* property;  // as the host names it
        const char* node;      // the camera's feature; null for a driver setting
        int value;
    } cases[] = {
        {"Width", "Width", -1},
        {"Width", "Width", 641},  // not a multiple of 4
        {"Width", "Width", 100000},
        {"Height", "Height", 0},
        {"OffsetX", "OffsetX", 100000},
        {"Gain", "GainRaw", 99999},
        {"Gain", "GainRaw", -5},
        {"GAMMA", "Gamma", 99999000},
        {"SensorWidth", "SensorWidth", 64},  // read-only
        {"BufferCount", nullptr, 99},
        {"Heartbeat", nullptr, 5},
    };
    for (const Case& c : cases) {
        const int before = Get(0, c.property);
        const std::string device = c.node ? DeviceValue(gige, c.node) : "";
        log.Clear();
        EXPECT_EQ(setProperty(0, 0, c.property, c.value), 0) << c.property << "=" << c.value;
        EXPECT_EQ(Get(0, c.property), before) << c.property << "=" << c.value;
        if (c.node) {
            EXPECT_EQ(DeviceValue(gige, c.node), device) << c.property << "=" << c.value;
        }
        EXPECT_TRUE(log.Contains("Camera::SetProperty")) << c.property << ": the refusal is logged";
    }

    const char* texts[] = {"Gamma=nan",      "Gamma=inf",     "PixelFormat=NoSuchFormat",
                           "Gain=abc",       "Gain=",         "Gain=12abc",
                           "Gain=2.5",       "Gain=1e3",      "ExposureTimeAbs=fast",
                           "ReverseX=maybe", "BufferCount=x9"};
    for (const char* text : texts) {
        const std::string name = std::string(text).substr(0, std::string(text).find('='));
        const std::string before = Cmd(0, "get", name.c_str());
        int ok = -1;
        Cmd(0, "set", text, &ok);
        EXPECT_EQ(ok, 0) << text;
        EXPECT_EQ(Cmd(0, "get", name.c_str()), before) << text;
    }

    // Accepted values are what the camera then holds.
    int ok = -1;
    Cmd(0, "set", "Gain=1e2", &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(DeviceValue(gige, "GainRaw"), "100");
    Cmd(0, "set", "Gain= 120 ", &ok);
    EXPECT_EQ(ok, 1) << "blanks around a number are no mistake";
    EXPECT_EQ(Get(0, "Gain"), 120);
    EXPECT_EQ(setProperty(0, 0, "Width", 640), 1);
    EXPECT_EQ(DeviceValue(gige, "Width"), "640");
    EXPECT_EQ(Get(0, "Width"), 640);
    Cmd(0, "set", "ReverseX=true", &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(DeviceValue(gige, "ReverseX"), "1");
}

TEST_F(NamedProperties, AClosedCameraRefusesOutOfRangeValuesForItsNextOpen) {
    closeCVLPort(0, 0);
    const int width = Get(0, "Width");
    int ok = -1;
    Cmd(0, "set", "Width=-1", &ok);
    EXPECT_EQ(ok, 0);
    Cmd(0, "set", "BufferCount=1000", &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Get(0, "Width"), width);
    Cmd(0, "set", "Width=320", &ok);
    EXPECT_EQ(ok, 1) << "kept for the next open";
    EXPECT_EQ(Get(0, "Width"), 320);
}

TEST(PropertyValue, SettersFillAllThreeForms) {
    PropertyValue v;
    v.SetReal(-2.75);
    EXPECT_EQ(v.mInt, -2);
    EXPECT_EQ(v.mText, "-2.75");
    v.SetReal(1234567.0);
    EXPECT_EQ(v.mText, "1.23457e+06") << "six significant digits";
    v.SetReal(1e300);
    EXPECT_EQ(v.mInt, INT64_MAX) << "clamped, not undefined";
    v.SetText("TRUE");
    EXPECT_EQ(v.mInt, 1);
    EXPECT_EQ(v.mText, "true");
    v.SetText("12.5abc");
    EXPECT_EQ(v.mInt, 12);
    EXPECT_DOUBLE_EQ(v.mReal, 12.5);
    EXPECT_EQ(v.mText, "12.5abc");
    v.SetInt64(-5000000000LL);
    EXPECT_TRUE(v.IsInteger());
    v.SetText("03");
    EXPECT_FALSE(v.IsInteger());
    v.SetText("Mono8");
    EXPECT_FALSE(v.IsInteger());
    v.SetEnum(3, "Mono12");
    EXPECT_EQ(v.mInt, 3);
    EXPECT_EQ(v.mReal, 0.0);
    EXPECT_EQ(v.mText, "Mono12");
}

TEST_F(NamedProperties, NamesFoldOnlyAsciiLettersWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "tr_TR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no Turkish locale installed (scripts/setup generates tr_TR.UTF-8)";
    }
    // Turkish upper-cases "i" to a dotted capital, so the C library no longer pairs "I" and "i".
    const int pixelSize = Get(0, "PIXELSIZE");
    const int continuous = setProperty(0, 0, "CONTINUOUS", 1);
    const bool grabbing = gige->mContinuousGrab;
    const int width = Get(0, "WIDTH");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(pixelSize, Get(0, "PixelSize"));
    EXPECT_EQ(continuous, 1);
    EXPECT_TRUE(grabbing);
    EXPECT_EQ(width, Get(0, "Width"));
    ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
}

namespace {

// All lines of the "list" command, fetched page by page with a buffer of the given size.
std::vector<std::string> ListAll(int port, unsigned bufferSize, int* calls = nullptr) {
    std::vector<std::string> lines;
    std::vector<char> buffer(bufferSize);
    for (int guard = 0; guard < 10000; ++guard) {
        if (calls) ++*calls;
        const std::string start = std::to_string(lines.size());
        if (execCmd(0, port, "list", start.c_str(), buffer.data(), bufferSize) != 1) {
            ADD_FAILURE() << "list refused from line " << start;
            break;
        }
        std::string page = buffer.data();
        if (page.empty()) break;
        for (size_t begin = 0; begin < page.size();) {
            size_t end = page.find('\n', begin);
            EXPECT_NE(end, std::string::npos) << "every line ends with a newline";
            if (end == std::string::npos) end = page.size();
            lines.push_back(page.substr(begin, end - begin));
            begin = end + 1;
        }
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    for (size_t begin = 0;;) {
        size_t tab = line.find('\t', begin);
        fields.push_back(line.substr(begin, tab == std::string::npos ? tab : tab - begin));
        if (tab == std::string::npos) return fields;
        begin = tab + 1;
    }
}

const std::string* LineOf(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines) {
        if (line.compare(0, name.size() + 1, name + "\t") == 0) return &line;
    }
    return nullptr;
}

}  // namespace

TEST_F(NamedProperties, ListNamesEveryAcceptedNameWithTypeAccessValueAndLimits) {
    const std::vector<std::string> lines = ListAll(0, 65536);
    ASSERT_GT(lines.size(), gige->mParameters.size() / 2);
    for (const std::string& line : lines) {
        ASSERT_EQ(Fields(line).size(), 6u) << line;
    }
    // Every visible parameter of the set, the special names and the aliases the camera serves.
    for (const Param_& parameter : gige->mParameters) {
        if (parameter.mVisible) {
            EXPECT_TRUE(LineOf(lines, parameter.mName)) << parameter.mName;
        }
    }
    for (const char* name : {"continuous", "PixelSize", "CurrentFrame", "FrameCount", "MemoryUsed",
                             "DebugViewOutput", "Gain", "Exposure", "Brightness"}) {
        EXPECT_TRUE(LineOf(lines, name)) << name;
    }
    EXPECT_FALSE(LineOf(lines, "framerate") &&
                 !gige->mParameters.Contains("AcquisitionFrameRateAbs"))
        << "an alias is listed only when its feature exists";

    const std::vector<std::string> gain = Fields(*LineOf(lines, "Gain"));
    EXPECT_EQ(gain[1], "int64");
    EXPECT_EQ(gain[2], "rw");
    EXPECT_EQ(gain[3], std::to_string(Get(0, "Gain")));
    int min = 0, max = 0;
    ASSERT_EQ(getPropertyRange(0, 0, "Gain", &min, &max), 1);
    EXPECT_EQ(gain[4], "[" + std::to_string(min) + ".." + std::to_string(max) + "]");
    EXPECT_NE(gain[5].find("All_GainRaw"), std::string::npos) << "the alias names its feature";

    auto* format = dynamic_cast<ParamEnum*>(gige->mParameters.Find("PixelFormat"));
    const std::vector<std::string> pixelFormat = Fields(*LineOf(lines, "PixelFormat"));
    EXPECT_EQ(pixelFormat[1], "enum");
    EXPECT_EQ(pixelFormat[3], format->mValue);
    EXPECT_EQ(pixelFormat[4].find(format->mEntries[0] + ","), 0u) << pixelFormat[4];

    const std::vector<std::string> pixelSize = Fields(*LineOf(lines, "PixelSize"));
    EXPECT_EQ(pixelSize[2], "ro");
    EXPECT_EQ(Fields(*LineOf(lines, "continuous"))[1], "bool");
    // No field holds a tab or a newline of its own: a description is one line.
    for (const Param_& parameter : gige->mParameters) {
        if (parameter.mVisible && !parameter.mDescription.empty()) {
            EXPECT_EQ(Fields(*LineOf(lines, parameter.mName))[5].find('\n'), std::string::npos);
        }
    }
}

TEST_F(NamedProperties, ListPagesThroughALongListWithinTheResultSize) {
    const std::vector<std::string> whole = ListAll(1, 1 << 20);
    int calls = 0;
    const std::vector<std::string> paged = ListAll(1, 600, &calls);
    // The same lines (values such as "MemoryUsed" move between the two readings).
    ASSERT_EQ(paged.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(Fields(paged[i])[0], Fields(whole[i])[0]);
    }
    EXPECT_GT(calls, 5);

    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(execCmd(0, 1, "list", "0", tiny, sizeof tiny), 0) << "the first line does not fit";
    EXPECT_EQ(tiny[0], '\0');
    EXPECT_EQ(tiny[1], 'x');
    EXPECT_EQ(execCmd(0, 1, "list", "abc", tiny, sizeof tiny), 0) << "a start that is no number";
    char end[16] = "x";
    EXPECT_EQ(execCmd(0, 1, "list", std::to_string(whole.size()).c_str(), end, sizeof end), 1);
    EXPECT_STREQ(end, "") << "past the last line: an empty page";
}

TEST_F(NamedProperties, AValueTheCameraRefusesIsNotReportedAsItsValue) {
    // Inside the range the driver knows, but the camera refuses it: the offset leaves no room.
    int width = 0, maxWidth = 0, min = 0;
    ASSERT_EQ(getPropertyRange(0, 0, "Width", &min, &maxWidth), 1);
    ASSERT_EQ(setProperty(0, 0, "Width", maxWidth - 16), 1);
    int ok = 0;
    Cmd(0, "set", "OffsetX=16", &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(setProperty(0, 0, "Width", maxWidth), 0) << "refused";
    EXPECT_TRUE(log.Contains("SetProperty: Width=" + std::to_string(maxWidth) + " refused"));
    width = Get(0, "Width");
    EXPECT_EQ(width, maxWidth - 16) << "what the camera has, not what was asked for";
    EXPECT_EQ(Value<int64_t>(gige, "Width"), maxWidth - 16);
}
