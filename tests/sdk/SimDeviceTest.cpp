#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "sdk/SdkLog.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/sim/SimDevice.h"
#include "sdk/transport/TlFactory.h"

using namespace sdk;

namespace {

std::mutex gLogLock;
std::vector<std::string> gLog;

void Capture(int level, const char* text) {
    std::lock_guard<std::mutex> lock(gLogLock);
    gLog.push_back(std::to_string(level) + " " + text);
}

// A device made from the file text "1.cam" in a temporary directory, with the SDK's log
// captured while it is made.
struct FileCamera {
    explicit FileCamera(const std::string& text) {
        WriteFile(dir.File("1.cam"), text);
        setenv("OSTRAVELK_SIM_DIR", dir.Path().c_str(), 1);
        gLog.clear();
        SdkLog::SetSink(&Capture);
        DeviceInfo filter;
        filter.SetSerialNumber("1");
        device.reset(TlFactory::GetInstance().CreateDevice(filter));
        SdkLog::SetSink(nullptr);
    }
    SimDevice& Sim() { return dynamic_cast<SimDevice&>(*device); }
    std::string Value(const char* name) {
        return device->GetNodeMap().GetNode(name)->ToString().str();
    }
    std::vector<std::string> Reasons() {
        std::vector<std::string> out;
        for (const auto& u : Sim().GetUnusedLines()) {
            out.push_back(std::to_string(u.line) + " " + u.text + ": " + u.why);
        }
        return out;
    }

    TempDir dir;
    std::unique_ptr<Device> device;
};

TEST(SimDevice, NamesEveryInitialValueItDoesNotTakeAndWhy) {
    FileCamera camera(
        "Class=BaslerGigE\n"
        "Model=SV1304-30gc\n"
        "Width=640\n"
        "PixelFormat=BayerRG8\n"       // 4: the sensor's pattern is GR
        "PixelFormat=Mono12\n"         // 5: a colour sensor has Mono8 only
        "Gian=5\n"                     // 6
        "GainRaw[All]=999\n"           // 7: out of range
        "GainRaw[Both]=1\n"            // 8
        "TriggerMode[LineStart]=On\n"  // 9
        "SequenceEnable=1\n"           // 10
        "AcquisitionStart=1\n"         // 11
        "HeartbeatTimeout=5000\n"      // 12: transport layer, taken
        "ReverseX=maybe\n"             // 13
        "Sensor=grey\n");              // 14
    const std::vector<std::string> reasons = camera.Reasons();
    ASSERT_EQ(reasons.size(), 10u) << ::testing::PrintToString(reasons);
    EXPECT_EQ(reasons[0], "4 PixelFormat=BayerRG8: entry not offered by this sensor");
    EXPECT_EQ(reasons[1], "5 PixelFormat=Mono12: entry not offered by this sensor");
    EXPECT_EQ(reasons[2], "6 Gian=5: unknown feature");
    EXPECT_EQ(reasons[3].rfind("7 GainRaw[All]=999: value not accepted: ", 0), 0u) << reasons[3];
    EXPECT_EQ(reasons[4], "8 GainRaw[Both]=1: unknown selector entry");
    EXPECT_EQ(reasons[5], "9 TriggerMode[LineStart]=On: selector entry not offered by this camera");
    EXPECT_EQ(reasons[6], "10 SequenceEnable=1: feature not offered by this camera");
    EXPECT_EQ(reasons[7], "11 AcquisitionStart=1: a command has no value");
    EXPECT_EQ(reasons[8].rfind("13 ReverseX=maybe: value not accepted", 0), 0u) << reasons[8];
    EXPECT_EQ(reasons[9], "14 Sensor=grey: value not accepted (mono or color)");
    EXPECT_EQ(camera.Value("Width"), "640");
    EXPECT_EQ(camera.Value("PixelFormat"), "BayerGR8");
    EXPECT_EQ(camera.device->GetTLNodeMap().GetNode("HeartbeatTimeout")->ToString().str(), "5000");

    // Each unused line is one level-1 log line naming the file and the line.
    const std::string file = camera.dir.File("1.cam");
    ASSERT_EQ(gLog.size(), reasons.size()) << ::testing::PrintToString(gLog);
    EXPECT_EQ(gLog[0], "1 SimDevice::SimDevice: " + file +
                           " line 4: \"PixelFormat=BayerRG8\" not used: entry not offered by this "
                           "sensor");
    EXPECT_EQ(gLog[2],
              "1 SimDevice::SimDevice: " + file + " line 6: \"Gian=5\" not used: unknown feature");
}

TEST(SimDevice, AFileItUsesCompletelyLogsNothing) {
    FileCamera camera("Class=BaslerUsb\nSerial=1\nPixelFormat=BayerGR12\nBalanceRatio[Red]=1.5\n");
    EXPECT_TRUE(camera.Reasons().empty());
    EXPECT_TRUE(gLog.empty()) << ::testing::PrintToString(gLog);
    EXPECT_EQ(camera.Value("PixelFormat"), "BayerGR12");
}

TEST(SimDevice, SensorKeyDecidesTheSensorOverTheModelName) {
    FileCamera mono("Class=BaslerUsb\nModel=SV1928-40uc\nSensor=mono\nPixelFormat=Mono12p\n");
    EXPECT_EQ(mono.Value("PixelFormat"), "Mono12p");
    EXPECT_EQ(mono.device->GetNodeMap().GetNode("BalanceRatio"), nullptr);

    FileCamera colour("Class=BaslerGigE\nModel=SV1304-30gm\nSensor=color\n");
    EXPECT_EQ(colour.Value("PixelFormat"), "BayerGR8");
    EXPECT_NE(colour.device->GetNodeMap().GetNode("BalanceRatioAbs"), nullptr);
}

TEST(SimDevice, PicturesThatCannotBeUsedAreLoggedAndThePatternStays) {
    FileCamera missing("Class=BaslerUsb\nImageFile=nowhere\n");
    ASSERT_EQ(gLog.size(), 1u) << ::testing::PrintToString(gLog);
    EXPECT_NE(gLog[0].find("no picture in " + missing.dir.Path() + "/nowhere"), std::string::npos);

    TempDir dir;
    WriteFile(dir.File("a.png"), "not a picture");
    FileCamera broken("Class=BaslerUsb\nImageFile=" + dir.Path() + "\n");
    ASSERT_EQ(gLog.size(), 2u) << ::testing::PrintToString(gLog);
    EXPECT_NE(gLog[0].find("picture " + dir.File("a.png") + " not used: "), std::string::npos);
}

}  // namespace
