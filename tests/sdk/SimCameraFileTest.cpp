#include <gtest/gtest.h>

#include "sdk/sim/SimCameraFile.h"

using namespace sdk;

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

}  // namespace
