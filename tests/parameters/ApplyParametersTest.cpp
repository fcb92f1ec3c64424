// Writing the set to the camera in passes, reading it back, the chunk refresh and validation.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <boost/any.hpp>

#include "ParameterTestSupport.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/CategoryNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/StringNode.h"

using namespace partest;
using sdk::gcstring;

namespace {

const std::string kApply = ", CameraParameters::ApplyParameters";
const std::string kApplyOne = ", CameraParameters::ApplyParameter";
const std::string kUpdate = ", CameraParameters::UpdateParameter";

// A simulated GigE camera with its walked parameter set on port 2.
class ApplySimTest : public ::testing::Test {
  protected:
    void SetUp() override { mSet.CreateFromNodes(mCamera.Nodes()); }

    template <typename P>
    P& Param(const std::string& name) {
        return Get<P>(mSet, name);
    }
    sdk::IInteger& Integer(const char* name) { return mCamera.Node<sdk::IInteger>(name); }

    SimCamera mCamera{"BaslerGigE"};
    std::atomic<int> mPort{2};
    CameraParameters mSet{&mPort, mCamera.Name()};
};

// A set on port 4 over a hand-built node map.
class ApplyHandTest : public ::testing::Test {
  protected:
    template <typename P, typename... Args>
    P& Add(const char* node, Args&&... args) {
        auto parameter = std::make_unique<P>(std::forward<Args>(args)...);
        parameter->SetOption("NodeName", gcstring(node));
        P& added = *parameter;
        mSet.AddParameter_(std::move(parameter));
        return added;
    }

    sdk::MemoryNodeMap mMap;
    std::atomic<int> mPort{4};
    CameraParameters mSet{&mPort, "Hand (4)"};
};

}  // namespace

// --- ApplyParameters -----------------------------------------------------------------------------

TEST_F(ApplySimTest, AConvergedSetTakesOnePassWithoutWrites) {
    TracedLog log(1);
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"port2: INFO: Apply Parameters, iteration:1/5" + kApply,
                                        "port2: INFO: Apply Parameters: Success" + kApply}));
}

TEST_F(ApplySimTest, ZeroPassesWriteNothing) {
    Param<::Param<int64_t>>("Width").mValue = 640;
    TracedLog log(1);
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 0));
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), -3));
    EXPECT_EQ(log.Count("port2: INFO: Apply Parameters: Success" + kApply), 2u);
    EXPECT_FALSE(log.Contains("iteration"));
    EXPECT_EQ(Integer("Width").GetValue(), 1280);
}

TEST_F(ApplySimTest, AWriteThatWidensARangeLetsTheNextPassRetry) {
    Integer("Width").SetValue(640);
    Integer("OffsetX").SetValue(640);
    Param<::Param<int64_t>>("Width").mValue = 1280;  // above the camera's maximum 640 for now
    Param<::Param<int64_t>>("OffsetX").mValue = 0;
    TracedLog log(1);
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(Integer("Width").GetValue(), 1280);
    EXPECT_EQ(Integer("OffsetX").GetValue(), 0);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "port2: INFO: Apply Parameters, iteration:1/5" + kApply,
                  "port2: ERR: ApplyParameter: Skipped 'Width' due to error while setting value" +
                      kApplyOne,
                  "Write to camera: OffsetX; 640 -> 0",
                  "port2: INFO: Apply Parameters, iteration:2/5" + kApply,
                  "Write to camera: Width; 640 -> 1280",
                  "port2: INFO: Apply Parameters, iteration:3/5" + kApply,
                  "port2: INFO: Apply Parameters: Success" + kApply}));
}

TEST_F(ApplySimTest, ARejectedWriteAloneCountsAsConverged) {
    Param<::Param<int64_t>>("Width").mValue = 2000;
    Param<::Param<std::string>>("DeviceUserID").mValue = "seventeen chars!!";
    TracedLog log(1);
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(Integer("Width").GetValue(), 1280);
    EXPECT_EQ(mCamera.Node<sdk::IString>("DeviceUserID").GetValue(), gcstring("LineCam"));
    EXPECT_TRUE(
        log.Contains("port2: ERR: ApplyParameter: Skipped 'DeviceUserID' due to error "
                     "while setting value" +
                     kApplyOne));
    EXPECT_TRUE(log.Contains("port2: INFO: Apply Parameters: Success"));
    EXPECT_FALSE(log.Contains("Write to camera"));
}

TEST_F(ApplySimTest, ACameraThatKeepsRoundingStopsAtThePassLimit) {
    Param<::Param<double>>("ExposureTimeAbs").mValue = 10005.0;  // the camera keeps 10000
    TracedLog log(1);
    EXPECT_FALSE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(mCamera.Node<sdk::IFloat>("ExposureTimeAbs").GetValue(), 10000.0);
    EXPECT_EQ(log.Matching("Write to camera: ExposureTimeAbs; ").size(), 5u);
    EXPECT_TRUE(log.Contains("port2: INFO: Apply Parameters, iteration:5/5"));
    EXPECT_FALSE(log.Contains("Success"));
    EXPECT_FALSE(mSet.ApplyParameters(mCamera.Nodes(), 2));
}

TEST_F(ApplySimTest, EnumerationsAreWrittenByIntegerValue) {
    Param<ParamEnum>("AcquisitionMode").mValue = "MultiFrame";
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(mCamera.Node<sdk::IEnumeration>("AcquisitionMode").GetIntValue(), 1);

    // A text that names no entry counts as 0 (SingleFrame).
    Param<ParamEnum>("AcquisitionMode").mValue = "bogus";
    TracedLog log(1);
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_EQ(mCamera.Node<sdk::IEnumeration>("AcquisitionMode").GetIntValue(), 0);
    EXPECT_EQ(log.Count("Write to camera: AcquisitionMode; MultiFrame -> bogus"), 1u);
    log.Clear();
    bool written = true;
    mSet.ApplyParameter(mCamera.Nodes(), mSet.Find("AcquisitionMode"), written);
    EXPECT_FALSE(written);  // the camera holds 0 already
}

TEST_F(ApplySimTest, TextsCompareIgnoringCaseButRefreshByteForByte) {
    auto& user = Param<::Param<std::string>>("DeviceUserID");
    user.mValue = "LINECAM";
    bool written = true;
    mSet.ApplyParameter(mCamera.Nodes(), &user, written);
    EXPECT_FALSE(written);
    mSet.UpdateParameter(mCamera.Nodes(), &user);
    EXPECT_EQ(user.mValue, "LineCam");
    user.mValue = "Other";
    mSet.ApplyParameter(mCamera.Nodes(), &user, written);
    EXPECT_TRUE(written);
    EXPECT_EQ(mCamera.Node<sdk::IString>("DeviceUserID").GetValue(), gcstring("Other"));
}

TEST_F(ApplySimTest, SelectorsAreSetBeforeTheirFeatures) {
    Param<::Param<bool>>("Out2_LineInverter").mValue = true;
    auto& selector = mCamera.Node<sdk::IEnumeration>("LineSelector");
    auto& trigger = mCamera.Node<sdk::IEnumeration>("TriggerSelector");
    trigger.SetIntValue(0);
    TracedLog log;
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), 5));
    EXPECT_TRUE(
        log.Contains("port2: trace: SetSelector: Setting Out2_LineInverter to selector 2, "
                     "CameraParameters::SetSelector"));
    selector.SetIntValue(2);
    EXPECT_TRUE(mCamera.Node<sdk::IBoolean>("LineInverter").GetValue());
    selector.SetIntValue(1);
    EXPECT_FALSE(mCamera.Node<sdk::IBoolean>("LineInverter").GetValue());
    // After a full apply a selector stands at the entry of the last parameter it selects.
    EXPECT_EQ(trigger.GetIntValue(), 1);

    trigger.SetIntValue(0);
    selector.SetIntValue(0);
    mSet.UpdateParameters(mCamera.Nodes());
    EXPECT_EQ(trigger.GetIntValue(), 1);
    EXPECT_EQ(selector.GetIntValue(), 4);
    EXPECT_TRUE(Param<::Param<bool>>("Out2_LineInverter").mValue);
    EXPECT_FALSE(Param<::Param<bool>>("Out1_LineInverter").mValue);
}

TEST_F(ApplySimTest, SkipsAndFailuresOfOneParameter) {
    TracedLog log;
    bool written = true;
    mSet.ApplyParameter(mCamera.Nodes(), nullptr, written);
    EXPECT_FALSE(written);

    mSet.ApplyParameter(mCamera.Nodes(), mSet.Find("LogLevel"), written);
    EXPECT_TRUE(
        log.Contains("port2: trace: ApplyParameter: Parameter 'LogLevel' has no node "
                     "name, skipping" +
                     kApplyOne));
    auto& sensor = Param<::Param<int64_t>>("SensorWidth");
    sensor.mValue = 640;
    mSet.ApplyParameter(mCamera.Nodes(), &sensor, written);
    EXPECT_TRUE(log.Contains(
        "port2: INFO: ApplyParameter: Skipping non writable node: SensorWidth" + kApplyOne));
    auto& key = Param<::Param<int64_t>>("ExpertFeature2_ExpertFeatureAccessKey");
    mSet.ApplyParameter(mCamera.Nodes(), &key, written);
    EXPECT_TRUE(
        log.Contains("port2: INFO: ApplyParameter: Skipping non readable node: "
                     "ExpertFeature2_ExpertFeatureAccessKey" +
                     kApplyOne));
    EXPECT_FALSE(written);

    auto& gain = Param<::Param<int64_t>>("All_GainRaw");
    gain.mValue = 100;
    gain.SetOption("SelectorValue", 99);  // no such entry: the selector refuses it
    mSet.ApplyParameter(mCamera.Nodes(), &gain, written);
    EXPECT_TRUE(
        log.Contains("port2: ERR: ApplyParameter skipping because of failure to set "
                     "selector for All_GainRaw" +
                     kApplyOne));
    EXPECT_FALSE(written);
    gain.mOptions.erase("SelectorValue");  // a selector without value
    mSet.ApplyParameter(mCamera.Nodes(), &gain, written);
    EXPECT_TRUE(
        log.Contains("port2: ERR: SetSelector: Failed to set selector for All_GainRaw, "
                     "CameraParameters::SetSelector"));
    EXPECT_TRUE(written);  // the node is written with the selector as it is
    gain.SetOption("SelectorName", "NoSuchSelector");
    gain.mValue = 101;
    log.Clear();
    mSet.ApplyParameter(mCamera.Nodes(), &gain, written);
    EXPECT_TRUE(written);
    EXPECT_FALSE(log.Contains("SetSelector"));

    ::Param<int64_t> lost("Cat", "Lost", 1);
    lost.SetOption("NodeName", gcstring("NoSuchNode"));
    mSet.ApplyParameter(mCamera.Nodes(), &lost, written);
    EXPECT_TRUE(
        log.Contains("port2: ERR: Apply parameter. Could not find node by name of 'Lost'. "
                     "Skipping." +
                     kApplyOne));
    ::Param<int64_t> mistyped("Cat", "Mistyped", 1);
    mistyped.SetOption("NodeName", "Width");  // a std::string, not a gcstring
    mSet.ApplyParameter(mCamera.Nodes(), &mistyped, written);
    EXPECT_TRUE(log.Contains("port2: ERR: ApplyParameter: unrecognized exception" + kApplyOne));
    EXPECT_FALSE(written);
}

TEST_F(ApplySimTest, ApplyByNamesWritesOnlyThoseAndSkipsUnknownNames) {
    Param<::Param<int64_t>>("Width").mValue = 640;
    Param<::Param<int64_t>>("Height").mValue = 480;
    EXPECT_TRUE(mSet.ApplyParameters(mCamera.Nodes(), std::vector<std::string>{"nope", "width"}));
    EXPECT_EQ(Integer("Width").GetValue(), 640);
    EXPECT_EQ(Integer("Height").GetValue(), 1024);
}

// --- Writing and reading by node type -----------------------------------------------------------

TEST_F(ApplyHandTest, FloatsAreWrittenOnlyBeyondTheTolerance) {
    auto& node = mMap.Add<sdk::FloatNode>("F");
    node.SetRange(0.0, 100.0).Initialize(10.0);
    auto& parameter = Add<Param<double>>("F", "Cat", "F", 10.0004, 0.0, 100.0, 0.0);
    bool written = true;
    mSet.ApplyParameter(mMap, &parameter, written);
    EXPECT_FALSE(written);
    parameter.mValue = 10.002;
    mSet.ApplyParameter(mMap, &parameter, written);
    EXPECT_TRUE(written);
    EXPECT_EQ(node.GetValue(), 10.002);
}

TEST_F(ApplyHandTest, MismatchedTypesAreLeftAloneAndOtherNodesLogged) {
    auto& integer = mMap.Add<sdk::IntegerNode>("I");
    integer.SetRange(0, 10).Initialize(3);
    auto& wrongType = Add<Param<int>>("I", "Cat", "WrongType", 5, 0, 10, 0);
    auto& enumeration = mMap.Add<sdk::EnumerationNode>("E");
    enumeration.AddEntry("A", 0);
    auto& category = mMap.Add<sdk::CategoryNode>("C");
    auto& text = Add<Param<std::string>>("C", "Cat", "Text", "x");
    TracedLog log(1);
    bool written = false;
    mSet.WriteToCamera(&integer, &wrongType, written);
    mSet.SetValue(&wrongType, &integer);
    EXPECT_EQ(integer.GetValue(), 3);
    EXPECT_EQ(wrongType.mValue, 5);
    sdk::INode* entry = mMap.GetNode("EnumEntry_E_A");
    mSet.WriteToCamera(entry, &text, written);
    mSet.SetValue(&text, entry);
    mSet.WriteToCamera(&category, &text, written);
    mSet.SetValue(&text, &category);
    EXPECT_EQ(
        log.Lines(),
        (std::vector<std::string>{
            "Skipped 'Text' EnumEntry", "CameraParameters::SetValue: Skipped 'Text' EnumEntry",
            "Skipped 'Text' due to unsupported type",
            "CameraParameters::SetValue: Skipped 'Text' due to unsupported type"}));
    EXPECT_FALSE(written);
}

// --- UpdateParameters ---------------------------------------------------------------------------

TEST_F(ApplySimTest, RefreshCopiesValuesRangesAndAccessButNotIncrementsOrDefaults) {
    Integer("Width").SetValue(640);
    mCamera.Node<sdk::IEnumeration>("PixelFormat").FromString("Mono12");
    auto& logLevel = Get<::Param<int>>(mSet, "LogLevel");
    logLevel.mValue = 4;
    auto& offset = Param<::Param<int64_t>>("OffsetX");
    offset.mInc = 7;
    mSet.UpdateParameters(mCamera.Nodes());
    auto& width = Param<::Param<int64_t>>("Width");
    EXPECT_EQ(width.mValue, 640);
    EXPECT_EQ(width.mDefault, 1280);
    EXPECT_EQ(offset.GetRangeText(), "[0..640]");
    EXPECT_EQ(offset.mInc, 7);
    EXPECT_EQ(Param<ParamEnum>("PixelFormat").mValue, "Mono12");
    EXPECT_EQ(Param<::Param<int64_t>>("PixelDynamicRangeMax").mValue, 4095);
    EXPECT_EQ(logLevel.mValue, 4);  // driver settings are not refreshed
    // A register reads back as its text; access follows the node.
    EXPECT_EQ(Param<::Param<std::string>>("DeviceCalibrationData").mValue, "0x3231303030303031");
    auto& user = Param<::Param<std::string>>("DeviceUserID");
    EXPECT_TRUE(user.mWritable);
}

TEST_F(ApplySimTest, RefreshMessagesAndItsFailures) {
    TracedLog log;
    mSet.UpdateParameter(mCamera.Nodes(), mSet.Find("Width"));
    EXPECT_TRUE(
        log.Contains("port2: trace: UpdateParameter: Width: 1280, range: [16..1280]" + kUpdate));
    auto& source = Param<ParamEnum>("Line1_LineSource");
    source.mWritable = true;
    mSet.UpdateParameter(mCamera.Nodes(), &source);
    EXPECT_FALSE(source.mWritable);
    EXPECT_TRUE(log.Contains(
        "port2: trace: UpdateParameter: Skipped non-readable parameter Line1_LineSource" +
        kUpdate));
    mSet.UpdateParameter(mCamera.Nodes(), mSet.Find("LogLevel"));
    EXPECT_TRUE(log.Contains(
        "port2: ERR: UpdateParameter: Parameter 'LogLevel' has no node name. Skipping." + kUpdate));
    ::Param<int64_t> lost("Cat", "Lost", 1);
    lost.SetOption("NodeName", gcstring("NoSuchNode"));
    mSet.UpdateParameter(mCamera.Nodes(), &lost);
    EXPECT_TRUE(
        log.Contains("port2: ERR: UpdateParameter: Could not find node for Lost" + kUpdate));
    auto& gain = Param<::Param<int64_t>>("All_GainRaw");
    gain.SetOption("SelectorValue", 99);
    mSet.UpdateParameter(mCamera.Nodes(), &gain);
    EXPECT_TRUE(log.Contains(
        "port2: ERR: UpdateParameter: Failed to set selector for 'All_GainRaw' " + kUpdate));

    // A missing or mistyped option ends the whole refresh.
    auto mistyped = std::make_unique<::Param<int64_t>>("Cat", "Mistyped", 1);
    mistyped->SetOption("NodeName", "Width");
    mSet.AddParameter_(std::move(mistyped));
    EXPECT_THROW(mSet.UpdateParameters(mCamera.Nodes()), boost::bad_any_cast);
}

TEST_F(ApplyHandTest, AFailingReadIsLoggedAndChunkModeFollowsItsParameter) {
    auto& bad = mMap.Add<sdk::IntegerNode>("Bad");
    bad.SetValueProvider([]() -> int64_t { throw sdk::RuntimeException("gone"); });
    auto& badParameter = Add<Param<int64_t>>("Bad", "Cat", "Bad", 0, 0, 0, 0);
    auto& chunkMode = mMap.Add<sdk::BooleanNode>("ChunkModeActive");
    chunkMode.Initialize(true);
    auto& chunkParameter = Add<Param<bool>>("ChunkModeActive", "Cat", "chunkmodeactive", false);
    TracedLog log;
    mSet.UpdateParameter(mMap, &badParameter);
    EXPECT_TRUE(
        log.Contains("port4: ERR: UpdateParameter: Setting value to parameter 'Bad' failed " +
                     std::string(", CameraParameters::UpdateParameter")));
    EXPECT_FALSE(mSet.IsChunkModeActive());
    mSet.UpdateParameters(mMap);
    EXPECT_TRUE(chunkParameter.mValue);
    EXPECT_TRUE(mSet.IsChunkModeActive());
    chunkMode.SetValue(false);
    mSet.UpdateParameter(mMap, &chunkParameter);
    EXPECT_FALSE(mSet.IsChunkModeActive());
}

TEST_F(ApplyHandTest, ChunkRefreshUpdatesParametersNamedLikeChunkNodes) {
    auto& width = Add<Param<int64_t>>("ChunkWidth", "ChunkData", "ChunkWidth", 0);
    auto& exposure = Add<Param<double>>("ChunkExposureTime", "ChunkData", "ChunkExposureTime", 0.0);
    auto& other = Add<Param<int64_t>>("Other", "Cat", "Unrelated", 5);  // mChunk not needed
    sdk::MemoryNodeMap chunks;
    chunks.Add<sdk::IntegerNode>("ChunkWidth").SetRange(0, 4096).Initialize(640);
    chunks.Add<sdk::IntegerNode>("Broken").SetValueProvider([]() -> int64_t { throw 1; });
    Add<Param<int64_t>>("Broken", "ChunkData", "Broken", 0);
    chunks.Add<sdk::FloatNode>("ChunkExposureTime").SetRange(0.0, 1e6).Initialize(123.5);
    chunks.Add<sdk::IntegerNode>("NotInTheSet").Initialize(1);
    TracedLog log;
    mSet.UpdateChunkParameters(chunks);
    EXPECT_EQ(width.mValue, 640);
    EXPECT_EQ(exposure.mValue, 123.5);
    EXPECT_EQ(other.mValue, 5);
    const std::string where = ", CameraParameters::UpdateChunkParameters";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "port4: trace: Update Chunk Parameter : ChunkWidth: 640" + where,
                  "port4: Warning: UpdateChunkParameters: Setting value to parameter 'Broken' "
                  "failed " +
                      where,
                  "port4: trace: Update Chunk Parameter : ChunkExposureTime: 123.5" + where}));
}

// --- Validate -----------------------------------------------------------------------------------

TEST(ValidateTest, RangesAndStepsOfTheWritableNumbers) {
    std::atomic<int> port{0};
    CameraParameters set(&port, "Cam");
    std::string message = "untouched";
    EXPECT_TRUE(set.Validate(message));
    EXPECT_EQ(message, "untouched");
    // What Validate reports of the set; empty when it accepts the set.
    const auto rejection = [&set] {
        std::string reason;
        return set.Validate(reason) ? std::string() : reason;
    };

    auto& bufferCount = Get<Param<int>>(set, "BufferCount");
    bufferCount.mValue = 30;
    EXPECT_EQ(rejection(), "General: BufferCount: out of range [3..25]");
    bufferCount.mValue = 2;
    EXPECT_EQ(rejection(), "General: BufferCount: out of range [3..25]");
    bufferCount.mValue = 25;
    auto& heartbeat = Get<Param<int>>(set, "Heartbeat");
    heartbeat.mValue = 999;
    EXPECT_EQ(rejection(), "General: Heartbeat: out of range [1000..300000]");
    heartbeat.mValue = 300000;
    EXPECT_TRUE(set.Validate(message));

    auto step = std::make_unique<Param<int>>("Cat", "Step", 7, 1, 11, 3);
    Param<int>& stepRef = *step;
    set.AddParameter_(std::move(step));
    EXPECT_TRUE(set.Validate(message));
    stepRef.mValue = 8;
    EXPECT_EQ(rejection(), "Cat: Step: must be multiple of 3");
    stepRef.mValue = 10;

    // Only writable numbers count; camera integers and reals are checked against the range only.
    auto readOnly = std::make_unique<Param<int>>("Cat", "ReadOnly", 99, 0, 1, 0);
    readOnly->mWritable = false;
    set.AddParameter_(std::move(readOnly));
    set.AddParameter_(std::make_unique<Param<bool>>("Cat", "Flag", true));  // [1..1] stays fine
    auto flag = std::make_unique<Param<bool>>("Cat", "OffFlag", true);
    flag->mValue = false;  // out of its range, but never checked
    set.AddParameter_(std::move(flag));
    auto text = std::make_unique<Param<std::string>>("Cat", "Text", "b");
    text->mValue = "z";
    set.AddParameter_(std::move(text));
    set.AddParameter_(std::make_unique<ParamEnum>("Cat", "Enum", "NoEntry"));
    set.AddParameter_(std::make_unique<Param<int64_t>>("Cat", "Wide", 1281, 16, 1280, 4));
    EXPECT_EQ(rejection(), "Cat: Wide: out of range [16..1280]");
    Get<Param<int64_t>>(set, "Wide").mValue = 1279;  // off the step: fine for 64 bits
    auto real = std::make_unique<Param<double>>("Cat", "Real", 0.05, 0.1, 2.5, 0.0);
    set.AddParameter_(std::move(real));
    EXPECT_EQ(rejection(), "Cat: Real: out of range [0.1..2.5]");
    // Large real limits in full, as the dialog's name label writes them.
    Get<Param<double>>(set, "Real").mMax = 1e7;
    Get<Param<double>>(set, "Real").mMin = 35.0;
    EXPECT_EQ(rejection(), "Cat: Real: out of range [35..10000000]");
    // The first failure is reported.
    bufferCount.mValue = 1;
    EXPECT_EQ(rejection(), "General: BufferCount: out of range [3..25]");
}
