#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "TestSupport.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/TlFactory.h"

using namespace sdk;

namespace {

const std::string kShippedCameras = OSTRAVELK_SOURCE_DIR "/sim/cameras";

std::unique_ptr<Device> Create(const std::string& deviceClass) {
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    DeviceInfo filter;
    filter.SetDeviceClass(deviceClass);
    std::unique_ptr<Device> device(TlFactory::GetInstance().CreateDevice(filter));
    device->Open();
    return device;
}

// A device made from the given file text in a temporary directory.
struct TempCamera {
    explicit TempCamera(const std::string& text) {
        WriteFile(dir.File("1.cam"), text);
        setenv("OSTRAVELK_SIM_DIR", dir.Path().c_str(), 1);
        DeviceInfo filter;
        filter.SetSerialNumber("1");
        device.reset(TlFactory::GetInstance().CreateDevice(filter));
        device->Open();
    }
    INodeMap& Nodes() { return device->GetNodeMap(); }

    TempDir dir;
    std::unique_ptr<Device> device;
};

template <class T>
T& Node(INodeMap& map, const char* name) {
    T* node = As<T>(map.GetNode(name));
    if (!node) {
        throw std::runtime_error(std::string("missing node ") + name);
    }
    return *node;
}

std::vector<std::string> Names(const FeatureList_t& features) {
    std::vector<std::string> names;
    for (IValue* v : features) {
        names.push_back(v->GetNode()->GetName().str());
    }
    return names;
}

std::vector<std::string> EntryNames(IEnumeration& e) {
    std::vector<std::string> names;
    for (INode* n : e.GetEntries()) {
        names.push_back(As<IEnumEntry>(n)->GetSymbolic().str());
    }
    return names;
}

// Walks every category below Root and records each feature's category and kind.
void Walk(ICategory& category, std::map<std::string, std::set<std::string>>& seen) {
    for (IValue* value : category.GetFeatures()) {
        ASSERT_NE(value, nullptr);
        INode* node = value->GetNode();
        seen[node->GetName().str()].insert(category.GetNode()->GetName().str());
        if (ICategory* sub = As<ICategory>(node)) {
            Walk(*sub, seen);
        }
    }
}

class BothModels : public ::testing::TestWithParam<const char*> {};

TEST_P(BothModels, RootHoldsTheCategoriesAndOnePlainFeature) {
    auto device = Create(GetParam());
    ICategory& root = Node<ICategory>(device->GetNodeMap(), "Root");
    const std::vector<std::string> top = Names(root.GetFeatures());
    for (const char* name :
         {"DeviceControl", "ImageFormatControl", "AcquisitionControl", "AnalogControl",
          "DigitalIOControl", "ChunkDataControl", "ChunkData", "UserSetControl", "LUTControls",
          "FileAccess", "EventsGeneration", "ExpertFeatureAccess"}) {
        EXPECT_NE(std::find(top.begin(), top.end(), name), top.end()) << name;
    }
    int plain = 0;
    for (IValue* v : root.GetFeatures()) {
        plain += As<ICategory>(v->GetNode()) ? 0 : 1;
    }
    EXPECT_EQ(plain, 1);
}

TEST_P(BothModels, EveryCategorisedFeatureIsAUsableNode) {
    auto device = Create(GetParam());
    std::map<std::string, std::set<std::string>> seen;
    Walk(Node<ICategory>(device->GetNodeMap(), "Root"), seen);
    EXPECT_GT(seen.size(), 60u);
    for (const auto& entry : seen) {
        INode* node = device->GetNodeMap().GetNode(entry.first);
        ASSERT_NE(node, nullptr) << entry.first;
        if (IsReadable(node) && !As<ICommand>(node)) {
            EXPECT_NO_THROW(node->ToString()) << entry.first;
        }
    }
    // Features listed in two walked categories.
    EXPECT_EQ(seen["ExposureAuto"].size(), 2u);
    EXPECT_EQ(seen["ExpertFeatureAccessSelector"].size(), 2u);
}

TEST_P(BothModels, AccessModesIncludeNotImplementedAndNotAvailable) {
    auto device = Create(GetParam());
    INodeMap& map = device->GetNodeMap();
    EXPECT_EQ(map.GetNode("SequenceEnable")->GetAccessMode(), NI);
    EXPECT_EQ(map.GetNode("ChunkTimestamp")->GetAccessMode(), NA);
    EXPECT_EQ(map.GetNode("SensorWidth")->GetAccessMode(), RO);
    EXPECT_EQ(map.GetNode("Width")->GetAccessMode(), RW);
    EXPECT_EQ(map.GetNode("ExpertFeatureAccessKey")->GetAccessMode(), WO);
    EXPECT_EQ(map.GetNode("DeviceReset")->GetPrincipalInterfaceType(), intfICommand);
    EXPECT_EQ(map.GetNode("DeviceCalibrationData")->GetPrincipalInterfaceType(), intfIRegister);
    EXPECT_EQ(map.GetNode("DeviceCalibrationData")->ToString().str().substr(0, 2), "0x");
    EXPECT_EQ(Node<IInteger>(map, "LineStatusAll").GetRepresentation(), HexNumber);
}

TEST_P(BothModels, SelectorsAndTheirSelectedFeatures) {
    auto device = Create(GetParam());
    INodeMap& map = device->GetNodeMap();
    IEnumeration& trigger = Node<IEnumeration>(map, "TriggerSelector");
    EXPECT_TRUE(map.GetNode("TriggerSelector")->IsSelector());
    EXPECT_NE(trigger.GetEntryByName("FrameStart"), nullptr);
    EXPECT_NE(trigger.GetEntryByName("AcquisitionStart"), nullptr);
    const std::vector<std::string> selected =
        Names(map.GetNode("TriggerSelector")->GetSelectedFeatures());
    EXPECT_EQ(selected,
              (std::vector<std::string>{"TriggerMode", "TriggerSource", "TriggerActivation",
                                        selected.at(3), "TriggerSoftware"}));
    EXPECT_EQ(Names(map.GetNode("TriggerMode")->GetSelectingFeatures()),
              std::vector<std::string>{"TriggerSelector"});
    EXPECT_FALSE(map.GetNode("TriggerMode")->IsSelector());
    EXPECT_FALSE(map.GetNode("TestImageSelector")->IsSelector());  // a plain enumeration

    EXPECT_EQ(Names(map.GetNode("GainSelector")->GetSelectedFeatures()),
              std::vector<std::string>{"GainRaw"});
    EXPECT_EQ(Names(map.GetNode("BlackLevelSelector")->GetSelectedFeatures()),
              std::vector<std::string>{"BlackLevelRaw"});
    EXPECT_EQ(EntryNames(Node<IEnumeration>(map, "LineSelector")),
              (std::vector<std::string>{"Line1", "Out1", "Out2", "Out3", "Out4"}));
    EXPECT_EQ(
        EntryNames(Node<IEnumeration>(map, "UserOutputSelector")),
        (std::vector<std::string>{"UserOutput1", "UserOutput2", "UserOutput3", "UserOutput4"}));
    EXPECT_EQ(Names(map.GetNode("ExpertFeatureAccessSelector")->GetSelectedFeatures()).at(0),
              "ExpertFeatureAccessKey");

    // Values stay per entry.
    trigger.FromString("FrameStart");
    Node<IEnumeration>(map, "TriggerMode").FromString("On");
    Node<IEnumeration>(map, "TriggerSource").FromString("Software");
    trigger.FromString("AcquisitionStart");
    EXPECT_EQ(Node<IEnumeration>(map, "TriggerMode").ToString(), gcstring("Off"));
    trigger.FromString("FrameStart");
    EXPECT_EQ(Node<IEnumeration>(map, "TriggerSource").ToString(), gcstring("Software"));
}

TEST_P(BothModels, ImageGeometryIsCoupled) {
    auto device = Create(GetParam());
    INodeMap& map = device->GetNodeMap();
    IInteger& sensorWidth = Node<IInteger>(map, "SensorWidth");
    IInteger& width = Node<IInteger>(map, "Width");
    IInteger& offsetX = Node<IInteger>(map, "OffsetX");
    EXPECT_THROW(sensorWidth.SetValue(100), AccessException);
    EXPECT_EQ(width.GetValue(), sensorWidth.GetValue());
    EXPECT_EQ(offsetX.GetMax(), 0);
    EXPECT_THROW(offsetX.SetValue(16), OutOfRangeException);
    width.SetValue(640);
    EXPECT_EQ(offsetX.GetMax(), sensorWidth.GetValue() - 640);
    offsetX.SetValue(100);
    EXPECT_EQ(width.GetMax(), sensorWidth.GetValue() - 100);
    EXPECT_EQ(Node<IInteger>(map, "WidthMax").GetValue(), width.GetMax());
    EXPECT_THROW(width.SetValue(width.GetMax() + width.GetInc()), OutOfRangeException);
    EXPECT_THROW(width.SetValue(642), OutOfRangeException);  // increment 4
    EXPECT_EQ(width.GetInc(), 4);
    EXPECT_EQ(Node<IInteger>(map, "PayloadSize").GetValue() % (640 * 1), 0);
}

TEST_P(BothModels, DeviceUserIdRefusesMoreThanSixteenCharacters) {
    auto device = Create(GetParam());
    IString& id = Node<IString>(device->GetNodeMap(), "DeviceUserID");
    id.SetValue("0123456789abcdef");
    EXPECT_THROW(id.SetValue("0123456789abcdefg"), OutOfRangeException);
    EXPECT_EQ(id.GetValue(), gcstring("0123456789abcdef"));
    EXPECT_EQ(id.GetMaxLength(), 16);
}

TEST_P(BothModels, UserOutputsDriveTheOutputLines) {
    auto device = Create(GetParam());
    INodeMap& map = device->GetNodeMap();
    Node<IEnumeration>(map, "UserOutputSelector").FromString("UserOutput2");
    Node<IBoolean>(map, "UserOutputValue").SetValue(true);
    EXPECT_EQ(Node<IInteger>(map, "UserOutputValueAll").GetValue(), 0x4);
    EXPECT_EQ(Node<IInteger>(map, "LineStatusAll").GetValue(), 0x4);  // Out2 is bit 2
    Node<IEnumeration>(map, "LineSelector").FromString("Out2");
    EXPECT_TRUE(Node<IBoolean>(map, "LineStatus").GetValue());
    EXPECT_EQ(Node<IEnumeration>(map, "LineMode").ToString(), gcstring("Output"));
    EXPECT_THROW(Node<IBoolean>(map, "LineStatus").SetValue(false), AccessException);
    Node<IInteger>(map, "UserOutputValueAll").SetValue(0x12);
    Node<IEnumeration>(map, "UserOutputSelector").FromString("UserOutput4");
    EXPECT_TRUE(Node<IBoolean>(map, "UserOutputValue").GetValue());
    Node<IEnumeration>(map, "LineSelector").FromString("Line1");
    EXPECT_EQ(Node<IEnumeration>(map, "LineMode").ToString(), gcstring("Input"));
    EXPECT_FALSE(IsAvailable(map.GetNode("LineSource")));
}

TEST_P(BothModels, ChunkEnableIsWritableOnlyInChunkMode) {
    auto device = Create(GetParam());
    INodeMap& map = device->GetNodeMap();
    EXPECT_THROW(Node<IBoolean>(map, "ChunkEnable").SetValue(true), AccessException);
    Node<IBoolean>(map, "ChunkModeActive").SetValue(true);
    Node<IBoolean>(map, "ChunkEnable").SetValue(true);
    EXPECT_TRUE(Node<IBoolean>(map, "ChunkEnable").GetValue());
}

INSTANTIATE_TEST_SUITE_P(Sim, BothModels, ::testing::Values("BaslerGigE", "BaslerUsb"));

TEST(SimGigE, ExposureIsRoundedToTheTimeBase) {
    auto device = Create("BaslerGigE");
    INodeMap& map = device->GetNodeMap();
    IFloat& abs = Node<IFloat>(map, "ExposureTimeAbs");
    EXPECT_EQ(abs.GetUnit(), gcstring("us"));
    EXPECT_DOUBLE_EQ(abs.GetValue(), 10000.0);  // 500 (file) x 20 us
    abs.SetValue(10005.0);
    EXPECT_DOUBLE_EQ(abs.GetValue(), 10000.0);  // never reaches what was written
    abs.SetValue(10015.0);
    EXPECT_DOUBLE_EQ(abs.GetValue(), 10020.0);
    EXPECT_EQ(Node<IInteger>(map, "ExposureTimeRaw").GetValue(), 501);
    Node<IInteger>(map, "ExposureTimeRaw").SetValue(100);
    EXPECT_DOUBLE_EQ(abs.GetValue(), 2000.0);
    EXPECT_THROW(abs.SetValue(abs.GetMax() + 1.0), OutOfRangeException);
    // Short exposure, frame rate limit.
    Node<IBoolean>(map, "AcquisitionFrameRateEnable").SetValue(true);
    Node<IFloat>(map, "AcquisitionFrameRateAbs").SetValue(12.5);
    EXPECT_DOUBLE_EQ(Node<IFloat>(map, "ResultingFrameRateAbs").GetValue(), 12.5);
    EXPECT_THROW(Node<IFloat>(map, "ResultingFrameRateAbs").SetValue(1.0), AccessException);
}

TEST(SimGigE, PixelFormatsInDeviceOrderWithColourFormatsUnavailable) {
    auto device = Create("BaslerGigE");
    IEnumeration& format = Node<IEnumeration>(device->GetNodeMap(), "PixelFormat");
    const std::vector<std::string> names = EntryNames(format);
    const std::vector<std::string> mono = {"Mono8",  "Mono10",       "Mono10Packed", "Mono10p",
                                           "Mono12", "Mono12Packed", "Mono16",       "Mono8Signed"};
    ASSERT_GT(names.size(), mono.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 8), mono);
    EXPECT_EQ(format.GetEntryByName("BayerGR8")->GetNode()->GetAccessMode(), NA);
    EXPECT_EQ(format.GetEntryByName("Mono10p")->GetNode()->GetAccessMode(), NA);
    EXPECT_THROW(format.FromString("BayerGR8"), AccessException);
    format.FromString("Mono8Signed");
    EXPECT_EQ(format.GetIntValue(), 0x01080002);
    EXPECT_EQ(format.GetEntryByName("Mono16")->GetValue(), 0x01100007);
    format.FromString("Mono12Packed");
    EXPECT_EQ(Node<IInteger>(device->GetNodeMap(), "PixelDynamicRangeMax").GetValue(), 4095);
}

TEST(SimGigE, TransportLayerHasTheHeartbeat) {
    auto device = Create("BaslerGigE");
    IInteger& heartbeat = Node<IInteger>(device->GetTLNodeMap(), "HeartbeatTimeout");
    EXPECT_EQ(heartbeat.GetValue(), 3000);
    EXPECT_GT(heartbeat.GetInc(), 1);
    heartbeat.SetValue(1000);
    EXPECT_THROW(heartbeat.SetValue(1050), OutOfRangeException);
    EXPECT_THROW(heartbeat.SetValue(100), OutOfRangeException);
    EXPECT_NE(device->GetNodeMap().GetNode("GevSCPSPacketSize"), nullptr);
    EXPECT_EQ(Node<IInteger>(device->GetNodeMap(), "GevCurrentIPAddress").GetRepresentation(),
              IPV4Address);
}

TEST(SimUsb, ColourModelWithBayerFormats) {
    auto device = Create("BaslerUsb");
    INodeMap& map = device->GetNodeMap();
    IEnumeration& format = Node<IEnumeration>(map, "PixelFormat");
    const std::vector<std::string> names = EntryNames(format);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
              (std::vector<std::string>{"Mono8", "Mono10", "Mono10p", "Mono12", "Mono12p"}));
    EXPECT_EQ(names.back(), "YCbCr422_8");
    EXPECT_EQ(format.ToString(), gcstring("BayerGR8"));  // from the file
    EXPECT_EQ(format.GetEntryByName("BayerRG8")->GetNode()->GetAccessMode(), NA);
    EXPECT_EQ(format.GetEntryByName("Mono12p")->GetNode()->GetAccessMode(), NA);
    format.FromString("RGB8");
    EXPECT_EQ(Node<IEnumeration>(map, "PixelColorFilter").ToString(), gcstring("None"));
    EXPECT_EQ(Node<IFloat>(map, "ExposureTime").GetValue(), 8000.0);
    EXPECT_EQ(map.GetNode("ExposureTimeAbs"), nullptr);
    EXPECT_NE(map.GetNode("AcquisitionFrameRate"), nullptr);
    EXPECT_EQ(map.GetNode("AcquisitionFrameRateAbs"), nullptr);
    IEnumeration& balance = Node<IEnumeration>(map, "BalanceRatioSelector");
    balance.FromString("Red");
    EXPECT_DOUBLE_EQ(Node<IFloat>(map, "BalanceRatio").GetValue(), 1.5);  // from the file
    balance.FromString("Blue");
    EXPECT_DOUBLE_EQ(Node<IFloat>(map, "BalanceRatio").GetValue(), 2.21875);
}

TEST(SimUsb, TransportLayerHasNoHeartbeat) {
    auto device = Create("BaslerUsb");
    EXPECT_EQ(device->GetTLNodeMap().GetNode("HeartbeatTimeout"), nullptr);
    EXPECT_NE(device->GetTLNodeMap().GetNode("Root"), nullptr);
    EXPECT_EQ(device->GetNodeMap().GetNode("GevSCPSPacketSize"), nullptr);
}

TEST(SimInitialValues, FileValuesIncludingSelectedOnesAndBadLines) {
    TempCamera cam(
        "Class=BaslerGigE\nModel=SV1304-30gc\nSerial=1\n"
        "Width=640\nOffsetX=64\nGainRaw[All]=100\nTriggerMode[AcquisitionStart]=On\n"
        "SensorHeight=900\nHeartbeatTimeout=5000\n"
        "Height=99999\nWidth=abc\nNoSuchFeature=1\nReverseX=maybe\nGainRaw[Nope]=5\n"
        "PixelFormat=BayerRG8\nDeviceReset=1\nTestImageSelector=Testimage2\n");
    INodeMap& map = cam.Nodes();
    EXPECT_EQ(Node<IInteger>(map, "Width").GetValue(), 640);
    EXPECT_EQ(Node<IInteger>(map, "OffsetX").GetValue(), 64);
    EXPECT_EQ(Node<IInteger>(map, "GainRaw").GetValue(), 100);
    EXPECT_EQ(Node<IInteger>(map, "SensorHeight").GetValue(), 900);
    EXPECT_EQ(Node<IInteger>(map, "Height").GetValue(), 900);  // brought under the new sensor
    EXPECT_FALSE(Node<IBoolean>(map, "ReverseX").GetValue());
    EXPECT_EQ(Node<IEnumeration>(map, "PixelFormat").ToString(), gcstring("BayerGR8"));
    EXPECT_EQ(Node<IEnumeration>(map, "TestImageSelector").ToString(), gcstring("Testimage2"));
    EXPECT_EQ(Node<IEnumeration>(map, "TriggerSelector").ToString(), gcstring("FrameStart"));
    Node<IEnumeration>(map, "TriggerSelector").FromString("AcquisitionStart");
    EXPECT_EQ(Node<IEnumeration>(map, "TriggerMode").ToString(), gcstring("On"));
    EXPECT_EQ(Node<IInteger>(cam.device->GetTLNodeMap(), "HeartbeatTimeout").GetValue(), 5000);
}

}  // namespace
