#include <gtest/gtest.h>

#include <arv.h>

#include <cfloat>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BedFrame.h"
#include "GenicamBed.h"
#include "GenicamFileCheck.h"
#include "GenicamMemorySource.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "parameters/Param_.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/TlFactory.h"

// --- The test bed ------------------------------------------------------------------------------

TEST_F(GenicamBed, SeedsEveryFileWithAnImageAndDeliversFramesOnlyAfterAcquisitionStart) {
    for (const char* file : kFiles) {
        auto camera = Serve(RealFile(file));
        EXPECT_GT(camera->ReadInteger("Width"), 0) << file;
        EXPECT_GT(camera->ReadInteger("Height"), 0) << file;
        EXPECT_EQ(camera->ReadInteger("PixelFormat"), ARV_PIXEL_FORMAT_MONO_8) << file;
    }
    auto camera = Serve(RealFile("ViewWorks_VNP604.xml"));
    GError* error = nullptr;
    ArvDevice* device = camera->Open(&error);
    ASSERT_TRUE(device) << (error ? error->message : "");
    ArvStream* stream = arv_device_create_stream(device, nullptr, nullptr, &error);
    ASSERT_TRUE(stream) << (error ? error->message : "");
    const size_t payload = static_cast<size_t>(camera->ReadInteger("PayloadSize"));
    for (int i = 0; i < 3; ++i) {
        arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
    }
    ArvBuffer* early = arv_stream_timeout_pop_buffer(stream, 300000);
    EXPECT_EQ(early, nullptr) << "no frame before AcquisitionStart";
    g_clear_object(&early);
    arv_device_execute_command(device, "AcquisitionStart", &error);
    ASSERT_EQ(error, nullptr) << error->message;
    ArvBuffer* frame = arv_stream_timeout_pop_buffer(stream, 3000000);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(arv_buffer_get_status(frame), ARV_BUFFER_STATUS_SUCCESS);
    EXPECT_EQ(camera->StartCount(), 1);
    g_clear_object(&frame);
    arv_device_execute_command(device, "AcquisitionStop", &error);
    EXPECT_FALSE(camera->IsAcquiring());
    g_object_unref(stream);
    g_object_unref(device);
}

TEST_F(GenicamBed, FramesCarryTheBedsPatternAtTheSeededSize) {
    for (const char* file : kFiles) {
        auto camera = Serve(RealFile(file));
        const GenicamMemoryCamera::Frame expected = camera->NextFrame();
        EXPECT_GT(expected.width, 16) << file << ": a sensor-like size";
        EXPECT_GT(expected.height, 16) << file;
        GError* error = nullptr;
        ArvDevice* device = camera->Open(&error);
        ASSERT_TRUE(device) << (error ? error->message : "");
        ArvStream* stream = arv_device_create_stream(device, nullptr, nullptr, &error);
        ASSERT_TRUE(stream) << (error ? error->message : "");
        arv_stream_push_buffer(
            stream,
            arv_buffer_new(static_cast<size_t>(camera->ReadInteger("PayloadSize")), nullptr));
        arv_device_execute_command(device, "AcquisitionStart", &error);
        ASSERT_EQ(error, nullptr) << error->message;
        ArvBuffer* frame = arv_stream_timeout_pop_buffer(stream, 3000000);
        ASSERT_NE(frame, nullptr) << file;
        EXPECT_EQ(arv_buffer_get_status(frame), ARV_BUFFER_STATUS_SUCCESS) << file;
        EXPECT_EQ(arv_buffer_get_image_width(frame), expected.width) << file;
        EXPECT_EQ(arv_buffer_get_image_height(frame), expected.height) << file;
        EXPECT_EQ(arv_buffer_get_image_pixel_format(frame), expected.format) << file;
        size_t size = 0;
        const auto* data = static_cast<const uint8_t*>(arv_buffer_get_image_data(frame, &size));
        ASSERT_EQ(static_cast<int64_t>(size), expected.width * expected.height) << file;
        const int64_t last = expected.height - 1;
        for (const int64_t row : {int64_t(0), int64_t(1), last}) {
            for (const int64_t column : {int64_t(0), int64_t(5), expected.width - 1}) {
                EXPECT_EQ(data[row * expected.width + column],
                          BedFrame::Value(data[0], column, row))
                    << file << " row " << row << " column " << column;
            }
        }
        g_clear_object(&frame);
        arv_device_execute_command(device, "AcquisitionStop", &error);
        g_object_unref(stream);
        g_object_unref(device);
    }
}

// --- Grab start and stop ------------------------------------------------------------------------

TEST_F(GenicamBed, TLParamsLockedIsSetAroundTheAcquisitionOfALockingCamera) {
    // The file locks AcquisitionStart and AcquisitionStop while TLParamsLocked is 0.
    auto served = Serve(RealFile("Basler-acA1300-60gm.xml"));
    auto camera = OpenCamera();
    auto* locked = sdk::As<sdk::IInteger>(camera->GetNodeMap().GetNode("TLParamsLocked"));
    ASSERT_TRUE(locked);
    camera->StartGrabbing(1);
    sdk::GrabResultPtr result;
    ASSERT_TRUE(camera->RetrieveResult(5000, result, sdk::TimeoutHandling_Return));
    result.Release();
    EXPECT_EQ(served->StartCount(), 1);
    EXPECT_EQ(served->StopCount(), 1) << "the single grab's end stopped the acquisition";
    EXPECT_EQ(locked->GetValue(), 0) << "unlocked after a single grab";

    camera->StartGrabbing();
    ASSERT_TRUE(camera->RetrieveResult(5000, result, sdk::TimeoutHandling_Return));
    result.Release();
    EXPECT_EQ(locked->GetValue(), 1);
    camera->StopGrabbing();
    EXPECT_EQ(served->StartCount(), 2);
    EXPECT_EQ(served->StopCount(), 2);
    EXPECT_EQ(locked->GetValue(), 0);
}

TEST_F(GenicamBed, AStartThatCannotRunIsLogged) {
    auto served = Serve(Minimal("", ""));
    served->WriteInteger("AcquisitionStartAvailable", 0);
    OpenThroughExports();
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    EXPECT_TRUE(mLog.WaitFor("AcquisitionStart", 2)) << Lines(mLog.Messages());
    EXPECT_EQ(served->StartCount(), 0);
}

// --- Node map -----------------------------------------------------------------------------------

TEST_F(GenicamBed, NumbersWithoutBoundsHaveTheLimitsOfTheirType) {
    Serve(RealFile("Basler-scA640-70gm.xml"));
    auto camera = OpenCamera();
    auto* timestamp = sdk::As<sdk::IInteger>(camera->GetNodeMap().GetNode("GevTimestampValue"));
    ASSERT_TRUE(timestamp);
    EXPECT_EQ(timestamp->GetMin(), INT64_MIN);
    EXPECT_EQ(timestamp->GetMax(), INT64_MAX);
    auto* temperature = sdk::As<sdk::IFloat>(camera->GetNodeMap().GetNode("TemperatureAbs"));
    ASSERT_TRUE(temperature);
    EXPECT_EQ(temperature->GetMin(), -DBL_MAX);
    EXPECT_EQ(temperature->GetMax(), DBL_MAX);
}

TEST_F(GenicamBed, EntriesAndSelectedFeaturesComeInDocumentOrder) {
    const std::string nodes = R"(
  <Enumeration Name="Mode" NameSpace="Custom">
    <EnumEntry Name="First"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Second"><Value>1</Value></EnumEntry>
    <EnumEntry Name="Third"><Value>2</Value></EnumEntry>
    <pValue>ModeReg</pValue>
    <pSelected>X</pSelected>
    <pSelected>Y</pSelected>
    <pSelected>Z</pSelected>
  </Enumeration>
  <IntReg Name="ModeReg"><Address>0x2000</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>
  <Integer Name="X"><Value>1</Value></Integer>
  <Integer Name="Y"><Value>2</Value></Integer>
  <Integer Name="Z"><Value>3</Value></Integer>)";
    Serve(Minimal("<pFeature>Mode</pFeature>", nodes));
    auto camera = OpenCamera();
    auto* mode = sdk::As<sdk::IEnumeration>(camera->GetNodeMap().GetNode("Mode"));
    ASSERT_TRUE(mode);
    sdk::NodeList_t entries;
    mode->GetEntries(entries);
    std::vector<std::string> names;
    for (sdk::INode* entry : entries) {
        names.push_back(sdk::As<sdk::IEnumEntry>(entry)->GetSymbolic().str());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"First", "Second", "Third"}));
    sdk::FeatureList_t selected;
    sdk::As<sdk::ISelector>(camera->GetNodeMap().GetNode("Mode"))->GetSelectedFeatures(selected);
    names.clear();
    for (sdk::IValue* value : selected) {
        names.push_back(value->GetNode()->GetName().str());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"X", "Y", "Z"}));
}

TEST_F(GenicamBed, TheWalkLeavesASelectingAcquisitionModeAtItsLastEntry) {
    Serve(RealFile("Basler-acA1300-60gm.xml"));
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->mInstantCamera->GetNodeMap().GetNode("AcquisitionMode")->ToString(),
              "Continuous");
}

// --- Apply and refresh --------------------------------------------------------------------------

TEST_F(GenicamBed, FeaturesOfAReadOnlySelectorAreAppliedWithoutWritingIt) {
    const std::string nodes = R"(
  <Enumeration Name="OnlySelector" NameSpace="Custom">
    <ImposedAccessMode>RO</ImposedAccessMode>
    <EnumEntry Name="Only"><Value>0</Value></EnumEntry>
    <pValue>OnlySelectorReg</pValue>
    <pSelected>Level</pSelected>
  </Enumeration>
  <IntReg Name="OnlySelectorReg"><Address>0x2000</Address><Length>4</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess></IntReg>
  <Integer Name="Level"><pValue>LevelReg</pValue><Min>0</Min><Max>100</Max></Integer>
  <IntReg Name="LevelReg"><Address>0x2004</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>)";
    auto served = Serve(Minimal("<pFeature>OnlySelector</pFeature>", nodes));
    OpenThroughExports();
    ASSERT_EQ(setProperty(0, 0, "Only_Level", 42), 1);
    EXPECT_EQ(served->ReadInteger("Level"), 42);
    int value = 0;
    ASSERT_EQ(getProperty(0, 0, "Only_Level", &value), 1);
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(mLog.Contains("to set selector")) << Lines(mLog.Messages());
}

TEST_F(GenicamBed, ANonFiniteFloatIsTheSameValueAndNeverWritten) {
    // A gain in dB over a raw gain of 0 reads -inf.
    const std::string nodes = R"(
  <Converter Name="GainDb" NameSpace="Custom">
    <FormulaTo>10**(FROM/20)</FormulaTo>
    <FormulaFrom>20*LG(TO)</FormulaFrom>
    <pValue>GainRaw</pValue>
  </Converter>
  <Integer Name="GainRaw"><pValue>GainRawReg</pValue><Min>0</Min><Max>100</Max></Integer>
  <IntReg Name="GainRawReg"><Address>0x2000</Address><Length>4</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess></IntReg>)";
    auto served = Serve(Minimal("<pFeature>GainDb</pFeature>", nodes));
    served->WriteInteger("GainRaw", 0);
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera);
    const Param_* gain = camera->mParameters.Find("GainDb");
    ASSERT_TRUE(gain) << Lines(mLog.Messages());
    EXPECT_EQ(gain->GetValueText().find("inf") != std::string::npos, true) << gain->GetValueText();
    EXPECT_TRUE(mLog.Contains("Apply Parameters: Success")) << Lines(mLog.Messages());
    EXPECT_FALSE(mLog.Contains("Apply Parameters, iteration:2/5"));
    EXPECT_FALSE(mLog.Contains("Write to camera: GainDb"));
    EXPECT_FALSE(mLog.Contains("some parameters were not applied"));
}

// --- Chunk and event features, registers --------------------------------------------------------

TEST_F(GenicamBed, ChunkAndEventFeaturesAreNotAvailableOutsideAGrabOrEvent) {
    Serve(RealFile("Basler-acA1300-60gm.xml"));
    auto camera = OpenCamera();
    EXPECT_EQ(camera->GetNodeMap().GetNode("ChunkWidth")->GetAccessMode(), sdk::NA);
    EXPECT_EQ(camera->GetNodeMap().GetNode("ChunkTimestamp")->GetAccessMode(), sdk::NA);
    EXPECT_EQ(camera->GetNodeMap().GetNode("LineStartOvertriggerEventTimestamp")->GetAccessMode(),
              sdk::NA);
    EXPECT_TRUE(sdk::IsReadable(camera->GetNodeMap().GetNode("ChunkModeActive")));
}

TEST_F(GenicamBed, AZeroLengthRegisterNeverReachesAravis) {
    const std::string nodes = R"(
  <Register Name="Empty" NameSpace="Custom"><Address>0x2000</Address><Length>0</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort></Register>
  <StringReg Name="EmptyText" NameSpace="Custom"><Address>0x2010</Address><Length>0</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort></StringReg>)";
    Serve(Minimal("<pFeature>Empty</pFeature><pFeature>EmptyText</pFeature>", nodes));
    // G_DEBUG=fatal-criticals (as the test runs) aborts on a GLib critical.
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL));
    auto camera = OpenCamera();
    auto* empty = sdk::As<sdk::IRegister>(camera->GetNodeMap().GetNode("Empty"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->GetLength(), 0);
    uint8_t byte = 0;
    empty->Get(&byte, 0);
    empty->Set(&byte, 0);
    empty->ToString();
    auto* text = sdk::As<sdk::IString>(camera->GetNodeMap().GetNode("EmptyText"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->GetValue(), "");
    Camera* driverCamera = OpenThroughExports();
    EXPECT_TRUE(driverCamera && driverCamera->mIsOpen);
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_FATAL_MASK));
}

// --- A device that disappears during the walk ---------------------------------------------------

// The node map that finds the device gone makes it removed at once, not when the removal
// callback's thread gets to run: an open that checks for a removal right after its walk sees it
// however busy the machine is.
TEST_F(GenicamBed, ADeviceTheNodeMapFindsGoneIsRemovedAtOnce) {
    auto served = Serve(RealFile("Basler-acA1300-60gm.xml"));
    served->SetGoneDelayMs(10);
    auto camera = OpenCamera();
    sdk::INodeMap& nodes = camera->GetNodeMap();
    served->SetPresent(false);
    nodes.InvalidateNodes();
    EXPECT_ANY_THROW(sdk::As<sdk::IInteger>(nodes.GetNode("Width"))->GetValue());
    EXPECT_TRUE(camera->GetDevice()->IsRemoved());
}

TEST_F(GenicamBed, ADeviceLostDuringTheWalkFailsTheOpenQuicklyAndIsReopened) {
    auto served = Serve(RealFile("Basler-acA1300-60gm.xml"));
    served->SetGoneDelayMs(1000);
    ASSERT_EQ(initialize(mHost.Path().c_str(), LogCapture::Callback()), 1);
    mInitialized = true;
    ASSERT_EQ(getCVLNoOfSupportedCameras(), 1);
    const std::string name = getCVLCameraConfigNames()[0];
    served->UnplugAfterReads(400);
    int size[2] = {0, 0};
    const auto start = std::chrono::steady_clock::now();
    openCVLPort(0, 0, name.c_str(), size);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    Camera* camera = CameraList::Instance().GetByPort_(0);
    ASSERT_TRUE(camera);
    EXPECT_FALSE(camera->mIsOpen);
    EXPECT_TRUE(mLog.WaitFor("WARNING: Camera removed: " + name, 10)) << Lines(mLog.Messages());
    served->SetPresent(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!camera->mIsOpen && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(camera->mIsOpen) << "reopened once back" << Lines(mLog.Messages());
}
