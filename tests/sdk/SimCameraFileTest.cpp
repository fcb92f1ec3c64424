#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "sdk/sim/SimCameraFile.h"

using namespace sdk;
using namespace std::string_literals;

namespace {

TEST(SimCameraFile, ReadsIdentityAndSettingsInOrder) {
    SimCameraFile file;
    ASSERT_TRUE(
        file.Parse("# comment\n; other comment\n[Camera]\n"
                   "  class = BaslerGigE \nMODEL=SV1304-30gc\nserial=42\n"
                   "Width = 640\nGainRaw[All]=100\nTriggerMode[ FrameStart ]=On\n",
                   "fallback"));
    EXPECT_EQ(file.GetDeviceClass(), "BaslerGigE");
    EXPECT_EQ(file.GetModel(), "SV1304-30gc");
    EXPECT_EQ(file.GetSerial(), "42");
    EXPECT_TRUE(file.IsColor());
    ASSERT_EQ(file.GetSettings().size(), 3u);
    EXPECT_EQ(file.GetSettings()[0].feature, "Width");
    EXPECT_EQ(file.GetSettings()[0].value, "640");
    EXPECT_EQ(file.GetSettings()[1].feature, "GainRaw");
    EXPECT_EQ(file.GetSettings()[1].selectorEntry, "All");
    EXPECT_EQ(file.GetSettings()[2].selectorEntry, "FrameStart");
}

TEST(SimCameraFile, IgnoresLinesThatDoNotFit) {
    SimCameraFile file;
    ASSERT_TRUE(
        file.Parse("Class=BaslerUsb\nno equals sign\n=value\nGain[=1\n[x]=2\n"
                   "Gain[]=3\nTwo words=4\nA]=5\nReverseX=\nExposureTime=100\r\n",
                   "77"));
    EXPECT_EQ(file.GetSerial(), "77");
    EXPECT_EQ(file.GetModel(), "SV1928-40uc");  // default model of the class
    ASSERT_EQ(file.GetSettings().size(), 2u);
    EXPECT_EQ(file.GetSettings()[0].feature, "ReverseX");
    EXPECT_EQ(file.GetSettings()[0].value, "");
    EXPECT_EQ(file.GetSettings()[1].value, "100");
}

TEST(SimCameraFile, NeedsAKnownClass) {
    SimCameraFile file;
    EXPECT_FALSE(file.Parse("Model=x\nSerial=1\n", "1"));
    EXPECT_FALSE(file.Parse("Class=baslergige\n", "1"));  // class text is exact
    EXPECT_FALSE(file.Parse("Class=BaslerGigE\n", ""));   // no serial at all
    EXPECT_FALSE(file.Load("/nonexistent/dir/1.cam"));
}

// "line N: why" of every unused line, in order.
std::vector<std::string> Unused(const SimCameraFile& file) {
    std::vector<std::string> out;
    for (const SimCameraFile::UnusedLine& u : file.GetUnusedLines()) {
        out.push_back(std::to_string(u.line) + ": " + u.why);
    }
    return out;
}

TEST(SimCameraFile, NamesEveryLineItDoesNotUseWithItsNumberAndReason) {
    SimCameraFile file;
    ASSERT_TRUE(
        file.Parse("Class=BaslerUsb\n# comment\n\nno equals sign\n=value\nGain[=1\n"
                   "Gain[ ]=3\nTwo words=4\nModel=A\nModel=B\nSensor=purple\nImageFile=\n"
                   "Width=640\n",
                   "7"));
    EXPECT_EQ(Unused(file), (std::vector<std::string>{
                                "4: no \"=\"",
                                "5: no name before \"=\"",
                                "6: malformed selector entry (Feature[Entry]=value)",
                                "7: empty selector entry",
                                "8: not a feature name",
                                "9: replaced by line 10",
                                "11: value not accepted (mono or color)",
                                "12: no file named",
                            }));
    EXPECT_EQ(file.GetModel(), "B");
    EXPECT_EQ(file.GetUnusedLines()[0].text, "no equals sign");
    ASSERT_EQ(file.GetSettings().size(), 1u);
    EXPECT_EQ(file.GetSettings()[0].line, 13);
    EXPECT_EQ(file.Describe(file.GetUnusedLines()[5]),
              "camera file line 9: \"Model=A\" not used: replaced by line 10");
}

TEST(SimCameraFile, LinesEndAtLineFeedsAndKeepEveryOtherByte) {
    SimCameraFile file;
    // Blank and comment lines count; a CR before the line feed is a blank; a CR alone, a NUL and
    // bytes beyond ASCII are part of the line; the last line needs no line end.
    ASSERT_TRUE(file.Parse("\n# c\r\nClass=BaslerGigE\r\n\n  \t\nA=1\rB=2\nName=x\0y\xC3\xA4\n"s +
                               "Model=M1\r\nModel= M2 \nWidth=640",
                           "1"));
    ASSERT_EQ(file.GetSettings().size(), 3u);
    EXPECT_EQ(file.GetSettings()[0].line, 6);
    EXPECT_EQ(file.GetSettings()[0].value, "1\rB=2");
    EXPECT_EQ(file.GetSettings()[1].line, 7);
    EXPECT_EQ(file.GetSettings()[1].value, "x\0y\xC3\xA4"s);
    EXPECT_EQ(file.GetSettings()[2].line, 10);
    EXPECT_EQ(file.GetSettings()[2].value, "640");
    EXPECT_EQ(file.GetModel(), "M2");
    ASSERT_EQ(file.GetUnusedLines().size(), 1u);
    EXPECT_EQ(file.GetUnusedLines()[0].line, 8);
    EXPECT_EQ(file.GetUnusedLines()[0].text, "Model=M1");
    EXPECT_EQ(file.GetUnusedLines()[0].why, "replaced by line 9");
    // A final line feed ends the last line and starts none.
    ASSERT_TRUE(file.Parse("Class=BaslerUsb\nClass=BaslerGigE\n", "1"));
    EXPECT_EQ(Unused(file), (std::vector<std::string>{"1: replaced by line 2"}));
    EXPECT_FALSE(file.Parse("", "1"));
    EXPECT_TRUE(file.GetUnusedLines().empty() && file.GetSettings().empty());
}

TEST(SimCameraFile, AnUnknownClassIsNamedToo) {
    SimCameraFile file;
    EXPECT_FALSE(file.Parse("Class=BaslerCamLink\n", "1"));
    EXPECT_EQ(Unused(file),
              (std::vector<std::string>{"1: unknown device class (BaslerGigE or BaslerUsb)"}));
}

TEST(SimCameraFile, SensorKeyOverridesTheModelLetter) {
    SimCameraFile file;
    ASSERT_TRUE(file.Parse("Class=BaslerGigE\nModel=X-1c\n", "1"));
    EXPECT_TRUE(file.IsColor());  // the model letter rule without a Sensor key
    ASSERT_TRUE(file.Parse("Class=BaslerGigE\nModel=X-1c\nsensor = Mono\n", "1"));
    EXPECT_EQ(file.GetSensor(), SimCameraFile::Sensor::Mono);
    EXPECT_FALSE(file.IsColor());
    ASSERT_TRUE(file.Parse("Class=BaslerUsb\nModel=X-1m\nSENSOR=color\n", "1"));
    EXPECT_TRUE(file.IsColor());
    ASSERT_TRUE(file.Parse("Class=BaslerUsb\nModel=X-1m\nSensor=colour\n", "1"));
    EXPECT_TRUE(file.IsColor());
    EXPECT_TRUE(file.GetSettings().empty()) << "Sensor is no feature";
}

TEST(SimCameraFile, ImagePathStartsAtTheCameraFilesDirectory) {
    TempDir dir;
    WriteFile(dir.File("5.cam"), "Class=BaslerUsb\nImageFile = shots/a b.png\n");
    SimCameraFile file;
    ASSERT_TRUE(file.Load(dir.File("5.cam")));
    EXPECT_EQ(file.GetImagePath(), dir.Path() + "/shots/a b.png");
    EXPECT_EQ(file.GetSerial(), "5");
    EXPECT_EQ(file.GetPath(), dir.File("5.cam"));
    ASSERT_TRUE(file.Parse("Class=BaslerUsb\nimagefile=/abs/dir\n", "1", "/else"));
    EXPECT_EQ(file.GetImagePath(), "/abs/dir");
    ASSERT_TRUE(file.Parse("Class=BaslerUsb\n", "1"));
    EXPECT_EQ(file.GetImagePath(), "");
}

}  // namespace
