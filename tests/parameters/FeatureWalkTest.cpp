// The walk over a camera's feature tree: order, types, flags and options of the parameters, the
// name tables, selector expansion, skip rules, failures and log lines. Against the two simulated
// cameras and against small hand-built node maps.

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ParameterTestSupport.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/CategoryNode.h"
#include "sdk/nodes/CommandNode.h"
#include "sdk/nodes/EnumEntryNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/RegisterNode.h"
#include "sdk/nodes/StringNode.h"

using namespace partest;
using sdk::gcstring;

namespace {

const std::string kWalkWhere = ", CameraParameters::CreateFromFeatures";

// A node of a kind the walk does not know (its principal interface is a port).
class PortNode : public sdk::MemoryNode, public sdk::IValue {
  public:
    PortNode(sdk::MemoryNodeMap& map, const gcstring& name)
        : MemoryNode(map, name, sdk::intfIPort) {}
    sdk::INode* GetNode() const override { return const_cast<PortNode*>(this); }
    gcstring ToString(bool, bool) const override { return gcstring(); }
    void FromString(const gcstring&, bool) override {}
};

// A node that is no value at all: a category lists it as a null feature.
class BareNode : public sdk::MemoryNode {
  public:
    BareNode(sdk::MemoryNodeMap& map, const gcstring& name)
        : MemoryNode(map, name, sdk::intfIBase) {}
    gcstring ToString(bool, bool) const override { return gcstring(); }
    void FromString(const gcstring&, bool) override {}
};

// A node map with "Root" and helpers to hang features below categories.
class HandTree {
  public:
    HandTree() : root(map.Add<sdk::CategoryNode>("Root")) {}

    sdk::CategoryNode& Category(const char* name, sdk::CategoryNode* parent = nullptr) {
        auto& category = map.Add<sdk::CategoryNode>(name);
        (parent != nullptr ? *parent : root).AddFeature(category);
        return category;
    }
    sdk::IntegerNode& Integer(sdk::CategoryNode& category, const char* name, int64_t value) {
        auto& node = map.Add<sdk::IntegerNode>(name);
        node.SetRange(0, 1000).Initialize(value);
        category.AddFeature(node);
        return node;
    }
    sdk::EnumerationNode& Enumeration(sdk::CategoryNode& category, const char* name,
                                      std::vector<std::string> entries) {
        auto& node = map.Add<sdk::EnumerationNode>(name);
        int64_t value = 0;
        for (const std::string& entry : entries) {
            node.AddEntry(entry, value++);
        }
        category.AddFeature(node);
        return node;
    }

    sdk::MemoryNodeMap map;
    sdk::CategoryNode& root;
};

class FeatureWalkTest : public ::testing::Test {
  protected:
    std::atomic<int> mPort{5};
    CameraParameters mSet{&mPort, "Hand (1)"};
    HandTree mTree;
};

std::vector<std::string> CameraCategoriesInOrder(const CameraParameters& parameters) {
    std::vector<std::string> categories;
    for (const Param_& parameter : parameters) {
        if (!parameter.mGeneral &&
            (categories.empty() || categories.back() != parameter.mCategory)) {
            categories.push_back(parameter.mCategory);
        }
    }
    return categories;
}

}  // namespace

// --- The simulated cameras
// ------------------------------------------------------------------------

TEST(FeatureWalkSimTest, GigEGivesSettingsFirstThenCategoriesInTreeOrder) {
    SimCamera camera("BaslerGigE");
    std::atomic<int> port{0};
    CameraParameters set(&port, camera.Name());
    set.CreateFromNodes(camera.Nodes());

    const std::vector<std::string> names = Names(set);
    const std::vector<std::string> settings{
        "LogLevel",    "LogIntoFile", "UseBGR",   "InhibitPylonTerminate",
        "BufferCount", "Reconnect",   "Heartbeat"};
    ASSERT_GT(names.size(), settings.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 7), settings);
    // Each category once, contiguous, in tree order; ignored categories absent; "Root"'s own
    // plain feature (TLParamsLocked) ignored.
    EXPECT_EQ(CameraCategoriesInOrder(set),
              (std::vector<std::string>{"DeviceControl", "ImageFormatControl", "AcquisitionControl",
                                        "AnalogControl", "AutoFunctions", "DigitalIOControl",
                                        "ChunkDataControl", "ChunkData", "UserSetControl",
                                        "TransportLayer"}));
    EXPECT_FALSE(set.Contains("TLParamsLocked"));
    for (const char* absent :
         {"LUTEnable", "Luminance_LUTEnable", "LUTValueAll", "UserData_FileOperationSelector",
          "FileAccessBuffer", "ExposureEnd_EventNotification", "SequenceEnable",
          "DeviceSFNCVersion", "GainRaw", "GainSelector", "LineSelector", "LineStatus",
          "AcquisitionStart", "DeviceReset", "ExpertFeature1_ExpertFeatureAccessKey"}) {
        EXPECT_FALSE(set.Contains(absent)) << absent;
    }

    // Every camera parameter: persistent, visible, not a setting, with node and display name.
    for (const Param_& parameter : set) {
        if (parameter.mGeneral) {
            continue;
        }
        SCOPED_TRACE(parameter.mName);
        EXPECT_TRUE(parameter.mPersistent);
        EXPECT_TRUE(parameter.mVisible);
        const gcstring node = parameter.GetOption<gcstring>("NodeName");
        ASSERT_NE(camera.Nodes().GetNode(node), nullptr);
        EXPECT_EQ(parameter.GetOption<gcstring>("DisplayName"),
                  camera.Nodes().GetNode(node)->GetDisplayName());
        EXPECT_EQ(parameter.mDescription, camera.Nodes().GetNode(node)->GetDescription().str());
        EXPECT_EQ(parameter.mChunk, parameter.mCategory == "ChunkData");
    }
}

TEST(FeatureWalkSimTest, GigEParametersHaveTheirTypesValuesAndOptions) {
    SimCamera camera("BaslerGigE");
    std::atomic<int> port{0};
    CameraParameters set(&port, camera.Name());
    set.CreateFromNodes(camera.Nodes());

    auto& width = Get<Param<int64_t>>(set, "Width");
    EXPECT_EQ(width.mValue, 1280);
    EXPECT_EQ(width.mMin, 16);
    EXPECT_EQ(width.mMax, 1280);
    EXPECT_EQ(width.mInc, 4);
    EXPECT_EQ(width.mDefault, 1280);
    EXPECT_TRUE(width.mWritable);
    EXPECT_FALSE(width.mVolatile);
    EXPECT_FALSE(width.HasOption("Format"));
    EXPECT_FALSE(width.HasOption("SelectorName"));
    EXPECT_EQ(width.mCategory, "ImageFormatControl");

    auto& exposure = Get<Param<double>>(set, "ExposureTimeAbs");
    EXPECT_EQ(exposure.mValue, 10000.0);
    EXPECT_EQ(exposure.mInc, 0.0);
    EXPECT_EQ(exposure.GetOption<std::string>("Format"), "%.2f us");
    EXPECT_TRUE(exposure.mVolatile);
    EXPECT_EQ(Get<Param<double>>(set, "Gamma").GetOption<std::string>("Format"), "%.2f ");

    auto& lines = Get<Param<int64_t>>(set, "LineStatusAll");
    EXPECT_EQ(lines.GetOption<std::string>("Format"), "%X");
    EXPECT_TRUE(lines.mVolatile);
    EXPECT_FALSE(lines.mWritable);  // read-only node

    auto& pixelFormat = Get<ParamEnum>(set, "PixelFormat");
    EXPECT_EQ(pixelFormat.mValue, "Mono8");
    EXPECT_TRUE(pixelFormat.IsInRange());
    auto& test = Get<ParamEnum>(set, "TestImageSelector");  // entries 4 to 7 unavailable
    EXPECT_EQ(test.mEntries,
              (std::vector<std::string>{"Off", "Testimage1", "Testimage2", "Testimage3"}));
    EXPECT_EQ(test.mEntryValues, (std::vector<int64_t>{0, 1, 2, 3}));

    EXPECT_EQ(Get<Param<std::string>>(set, "DeviceUserID").mValue, "LineCam");
    auto& calibration = Get<Param<std::string>>(set, "DeviceCalibrationData");  // a register
    EXPECT_EQ(calibration.mValue, "");
    EXPECT_FALSE(calibration.mWritable);
    EXPECT_TRUE(Get<Param<bool>>(set, "ReverseX").mWritable);

    // Selector expansion.
    auto& gain = Get<Param<int64_t>>(set, "All_GainRaw");
    EXPECT_EQ(gain.mValue, 36);
    EXPECT_EQ(gain.mCategory, "AnalogControl");
    EXPECT_EQ(gain.GetOption<gcstring>("NodeName"), gcstring("GainRaw"));
    EXPECT_EQ(gain.GetOption<std::string>("SelectorName"), "GainSelector");
    EXPECT_EQ(gain.GetOption<int64_t>("SelectorValue"), 0);
    EXPECT_FALSE(gain.mVolatile);
    for (const char* line : {"Line1", "Out1", "Out2", "Out3", "Out4"}) {
        auto& status = Get<Param<bool>>(set, std::string(line) + "_LineStatus");
        EXPECT_EQ(status.mVolatile, std::string(line) != "Line1") << line;
        EXPECT_EQ(status.GetOption<gcstring>("NodeName"), gcstring("LineStatus"));
    }
    EXPECT_EQ(Get<Param<bool>>(set, "Out2_LineStatus").GetOption<int64_t>("SelectorValue"), 2);
    EXPECT_TRUE(Get<Param<bool>>(set, "UserOutput3_UserOutputValue").mVolatile);
    EXPECT_TRUE(Get<Param<double>>(set, "Sensorboard_TemperatureAbs").mVolatile);
    EXPECT_FALSE(Get<Param<double>>(set, "Coreboard_TemperatureAbs").mVolatile);
    EXPECT_EQ(Get<Param<double>>(set, "Framegrabber_TemperatureAbs").mValue, 44.25);
    // Not readable in its entry's state (the source of an input line): first available entry.
    auto& source = Get<ParamEnum>(set, "Line1_LineSource");
    EXPECT_EQ(source.mValue, "Off");
    EXPECT_FALSE(source.mWritable);
    EXPECT_EQ(Get<ParamEnum>(set, "Out3_LineSource").mValue, "UserOutput3");
    // Write-only and not available: value 0, range [0..0], not writable.
    auto& key = Get<Param<int64_t>>(set, "ExpertFeature2_ExpertFeatureAccessKey");
    EXPECT_EQ(key.GetRangeText(), "[0..0]");
    EXPECT_FALSE(key.mWritable);
    auto& chunkWidth = Get<Param<int64_t>>(set, "ChunkWidth");
    EXPECT_TRUE(chunkWidth.mChunk);
    EXPECT_EQ(chunkWidth.mValue, 0);
    EXPECT_FALSE(chunkWidth.mWritable);
    EXPECT_FALSE(Get<Param<bool>>(set, "ChunkModeActive").mChunk);

    // Selectors stay at their last available entry.
    EXPECT_EQ(camera.Node<sdk::IEnumeration>("TriggerSelector").GetIntValue(), 1);  // FrameStart
    EXPECT_EQ(camera.Node<sdk::IEnumeration>("LineSelector").GetIntValue(), 4);     // Out4
    EXPECT_EQ(camera.Node<sdk::IEnumeration>("UserOutputSelector").GetIntValue(), 4);
}

TEST(FeatureWalkSimTest, UsbModelHasItsOwnNamesAndNoTransportLayer) {
    SimCamera camera("BaslerUsb");
    std::atomic<int> port{1};
    CameraParameters set(&port, camera.Name());
    set.CreateFromNodes(camera.Nodes());

    EXPECT_FALSE(Get<Param<double>>(set, "ExposureTime").mVolatile);  // not in the table
    EXPECT_EQ(Get<Param<double>>(set, "ExposureTime").mValue, 8000.0);
    EXPECT_FALSE(Get<Param<double>>(set, "AcquisitionFrameRate").mVolatile);
    EXPECT_EQ(Get<Param<double>>(set, "Red_BalanceRatio").mValue, 1.5);
    EXPECT_EQ(Get<Param<double>>(set, "Blue_BalanceRatio").GetOption<std::string>("SelectorName"),
              "BalanceRatioSelector");
    EXPECT_EQ(Get<ParamEnum>(set, "PixelFormat").mValue, "BayerGR8");
    EXPECT_EQ(Get<Param<int64_t>>(set, "PayloadSize").mCategory, "DeviceControl");
    EXPECT_EQ(Get<Param<bool>>(set, "ReverseY").mValue, false);
    EXPECT_FALSE(set.Contains("ExposureTimeAbs"));
    const auto categories = CameraCategoriesInOrder(set);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), "TransportLayer"), 0);
    EXPECT_EQ(categories.back(), "UserSetControl");
}

TEST(FeatureWalkSimTest, ASecondWalkAddsNothingAndKeepsTheValues) {
    SimCamera camera("BaslerGigE");
    std::atomic<int> port{0};
    CameraParameters set(&port, camera.Name());
    set.CreateFromNodes(camera.Nodes());
    const std::vector<std::string> before = Names(set);
    Get<Param<int64_t>>(set, "Width").mValue = 640;  // the value of the "lost" camera

    TracedLog log;
    set.CreateFromNodes(camera.Nodes());
    EXPECT_EQ(Names(set), before);
    EXPECT_EQ(Get<Param<int64_t>>(set, "Width").mValue, 640);
    EXPECT_FALSE(log.Contains("CreateParamFromNode OK"));
    // Every camera parameter is reported as already included.
    for (const Param_& parameter : set) {
        if (!parameter.mGeneral) {
            EXPECT_TRUE(log.Contains(" skips ignored node already included in the list: " +
                                     parameter.mName + kWalkWhere))
                << parameter.mName;
        }
    }
    EXPECT_TRUE(
        log.Contains("port0: trace: CreateFromFeatures GainSelector skips ignored node "
                     "already included in the list: All_GainRaw" +
                     kWalkWhere));
}

// --- Hand-built trees --------------------------------------------------------------------------

TEST_F(FeatureWalkTest, TraceLinesOfASmallTreeInOrder) {
    auto& category = mTree.Category("Cat");
    mTree.Integer(category, "A", 7);
    mTree.Integer(mTree.Category("LUTControls"), "LUTIndex", 1);
    TracedLog log;
    mSet.CreateFromNodes(mTree.map);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "port5: trace: CreateFromNodes beginning, CameraParameters::CreateFromNodes",
                  "port5: trace: * Create from category: Cat, CameraParameters::CreateFromCategory",
                  "port5: trace: CreateFromFeatures:  begins, CameraParameters::CreateFromFeatures",
                  "port5: trace: CreateParamFromNode OK: A, value=7, "
                  "CameraParameters::CreateParamFromNode",
                  "port5: trace: CreateFromFeatures:  ends, CameraParameters::CreateFromFeatures",
                  "port5: trace: * Create from category: Cat ended, "
                  "CameraParameters::CreateFromCategory",
                  "port5: trace: * Create from category: LUTControls, "
                  "CameraParameters::CreateFromCategory",
                  "port5: trace: Ignored category: LUTControls, "
                  "CameraParameters::CreateFromCategory"}));
    EXPECT_FALSE(mSet.Contains("LUTIndex"));
}

TEST_F(FeatureWalkTest, NoTraceLinesBelowLevelThree) {
    mTree.Integer(mTree.Category("Cat"), "A", 7);
    TracedLog log(2);
    mSet.CreateFromNodes(mTree.map);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(mSet.Contains("A"));
}

TEST_F(FeatureWalkTest, ASecondWalkReportsEachParameterOnce) {
    auto& category = mTree.Category("Cat");
    mTree.Integer(category, "A", 1);
    auto& selector = mTree.Enumeration(category, "Sel", {"E1", "E2"});
    auto& selected = mTree.map.Add<sdk::IntegerNode>("F");
    selector.AddSelectedFeature(selected);
    mSet.CreateFromNodes(mTree.map);
    ASSERT_EQ(Names(mSet).size(), 10u);  // A, E1_F, E2_F

    TracedLog log;
    mSet.CreateFromNodes(mTree.map);
    EXPECT_EQ(Names(mSet).size(), 10u);
    EXPECT_EQ(log.Count("port5: trace: CreateFromFeatures  skips ignored node already included "
                        "in the list: A" +
                        kWalkWhere),
              1u);
    for (const char* name : {"E1_F", "E2_F"}) {
        EXPECT_EQ(log.Count("port5: trace: CreateFromFeatures Sel skips ignored node already "
                            "included in the list: " +
                            std::string(name) + kWalkWhere),
                  1u);
    }
    EXPECT_EQ(log.Matching("already included").size(), 3u);
}

TEST_F(FeatureWalkTest, DuplicatesKeepTheFirstCategoryAndSettingsWinOverFeatures) {
    auto& first = mTree.Category("First");
    auto& second = mTree.Category("Second");
    auto& shared = mTree.Integer(first, "Shared", 3);
    second.AddFeature(shared);
    mTree.Integer(second, "Heartbeat", 500);  // named like a driver setting
    mTree.Integer(second, "heartbeat", 600);  // and like it ignoring case
    TracedLog log;
    mSet.CreateFromNodes(mTree.map);
    EXPECT_EQ(Get<Param<int64_t>>(mSet, "Shared").mCategory, "First");
    EXPECT_EQ(log.Count("port5: trace: CreateFromFeatures  skips ignored node already included "
                        "in the list: Shared" +
                        kWalkWhere),
              1u);
    EXPECT_EQ(Get<Param<int>>(mSet, "Heartbeat").mValue, 3000);
    EXPECT_TRUE(log.Contains("already included in the list: heartbeat"));
}

TEST_F(FeatureWalkTest, NestedSelectorsGiveAParameterPerCombinationNamedOutermostFirst) {
    auto& category = mTree.Category("Cat");
    auto& outer = mTree.Enumeration(category, "Outer", {"A", "B"});
    auto& inner = mTree.map.Add<sdk::EnumerationNode>("Inner");
    inner.AddEntry("X", 10);
    inner.AddEntry("Y", 20);
    inner.AddEntry("Z", 30, false);  // not available: no expansion step
    auto& value = mTree.map.Add<sdk::IntegerNode>("Value");
    value.SetRange(0, 100);
    outer.AddSelectedFeature(inner);
    outer.AddSelectedFeature(value);  // also selected by Inner: reached through it
    inner.AddSelectedFeature(value);
    category.AddFeature(inner);  // listed, but selected: only through its selector
    category.AddFeature(value);
    TracedLog log;
    mSet.CreateFromNodes(mTree.map);

    std::vector<std::string> names = Names(mSet);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 7, names.end()),
              (std::vector<std::string>{"A_X_Value", "A_Y_Value", "B_X_Value", "B_Y_Value"}));
    auto& y = Get<Param<int64_t>>(mSet, "B_Y_Value");
    EXPECT_EQ(y.GetOption<std::string>("SelectorName"), "Inner");
    EXPECT_EQ(y.GetOption<int64_t>("SelectorValue"), 20);
    EXPECT_EQ(y.GetOption<int64_t>("OuterSelectors"), 1);
    EXPECT_EQ(y.GetOption<std::string>("OuterSelectorName0"), "Outer");
    EXPECT_EQ(y.GetOption<int64_t>("OuterSelectorValue0"), 1);
    EXPECT_EQ(y.mCategory, "Cat");
    EXPECT_TRUE(log.Contains("CreateParamFromNode: Skipping selector node Inner, "));
    EXPECT_TRUE(log.Contains("CreateParamFromNode: Skipping selector node Value, "));
    EXPECT_EQ(outer.GetIntValue(), 1);   // last entry B
    EXPECT_EQ(inner.GetIntValue(), 20);  // last available entry Y

    // The apply sets every selector of the chain, outermost first.
    outer.SetIntValue(0);
    inner.SetIntValue(10);
    auto& ax = Get<Param<int64_t>>(mSet, "A_X_Value");
    mSet.UpdateParameter(mTree.map, &y);
    EXPECT_EQ(outer.GetIntValue(), 1);
    EXPECT_EQ(inner.GetIntValue(), 20);
    mSet.UpdateParameter(mTree.map, &ax);
    EXPECT_EQ(outer.GetIntValue(), 0);
    EXPECT_EQ(inner.GetIntValue(), 10);
}

TEST_F(FeatureWalkTest, AFeatureANumberSelectsTooStaysUnderTheEnumerationThatSelectsIt) {
    // LUTSelector selects LUTIndex and LUTValue; LUTIndex (a number) selects LUTValue as well.
    auto& category = mTree.Category("Cat");
    auto& selector = mTree.Enumeration(category, "LUTSelector", {"Luminance", "Red"});
    auto& index = mTree.map.Add<sdk::IntegerNode>("LUTIndex");
    index.SetRange(0, 1023);
    auto& value = mTree.map.Add<sdk::IntegerNode>("LUTValue");
    value.SetRange(0, 4095);
    selector.AddSelectedFeature(index);
    selector.AddSelectedFeature(value);
    index.AddSelectedFeature(value);
    mSet.CreateFromNodes(mTree.map);
    const std::vector<std::string> names = Names(mSet);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 7, names.end()),
              (std::vector<std::string>{"Luminance_LUTIndex", "Luminance_LUTValue", "Red_LUTIndex",
                                        "Red_LUTValue"}));
}

TEST_F(FeatureWalkTest, SubCategoriesChunkCaseAndExactTableMatching) {
    auto& top = mTree.Category("Top");
    auto& sub = mTree.Category("Sub", &top);
    mTree.Integer(sub, "InSub", 1);
    mTree.Integer(mTree.Category("chunkDATA"), "ChunkThing", 2);
    mTree.Integer(mTree.Category("lutcontrols"), "NotIgnored", 3);
    auto& selector = mTree.Enumeration(top, "LineSelector", {"out1", "Out1"});
    auto& status = mTree.map.Add<sdk::IntegerNode>("LineStatus");
    selector.AddSelectedFeature(status);
    mSet.CreateFromNodes(mTree.map);

    EXPECT_EQ(Get<Param<int64_t>>(mSet, "InSub").mCategory, "Sub");
    EXPECT_TRUE(Get<Param<int64_t>>(mSet, "ChunkThing").mChunk);
    EXPECT_EQ(Get<Param<int64_t>>(mSet, "NotIgnored").mCategory, "lutcontrols");
    // "out1_LineStatus" and "Out1_LineStatus" share a name ignoring case: the first stays, and
    // the volatile table matches exact case only.
    auto& lower = Get<Param<int64_t>>(mSet, "Out1_LineStatus");
    EXPECT_EQ(lower.mName, "out1_LineStatus");
    EXPECT_FALSE(lower.mVolatile);
}

TEST_F(FeatureWalkTest, NodeKindsMapToTheirParameterClasses) {
    auto& category = mTree.Category("Cat");
    auto& hex = mTree.Integer(category, "Hex", 255);
    hex.SetRepresentation(sdk::HexNumber);
    auto& hidden = mTree.Integer(category, "Hidden", 9);
    hidden.SetRange(5, 50, 5).SetAccessMode(sdk::NA);
    auto& real = mTree.map.Add<sdk::FloatNode>("Real");
    real.SetRange(-1.0, 1.0).SetUnit("dB").Initialize(0.25);
    category.AddFeature(real);
    auto& hiddenReal = mTree.map.Add<sdk::FloatNode>("HiddenReal");
    hiddenReal.SetRange(1.0, 2.0).Initialize(1.5).SetAccessMode(sdk::WO);
    category.AddFeature(hiddenReal);
    auto& flag = mTree.map.Add<sdk::BooleanNode>("Flag");
    flag.Initialize(true).SetAccessMode(sdk::RO);
    category.AddFeature(flag);
    auto& text = mTree.map.Add<sdk::StringNode>("Text");
    text.Initialize("hello").SetDisplayName("The Text").SetDescription("Some text.");
    category.AddFeature(text);
    auto& hiddenText = mTree.map.Add<sdk::StringNode>("HiddenText");
    hiddenText.Initialize("secret").SetAccessMode(sdk::NA);
    category.AddFeature(hiddenText);
    auto& reg = mTree.map.Add<sdk::RegisterNode>("Reg", 0x100, 2);
    reg.Initialize({0xAB, 0xCD});
    category.AddFeature(reg);
    auto& mode = mTree.Enumeration(category, "Mode", {"Off", "On", "Auto"});
    mode.Initialize("On");
    auto& hiddenMode = mTree.map.Add<sdk::EnumerationNode>("HiddenMode");
    hiddenMode.AddEntry("Gone", 0, false);
    hiddenMode.AddEntry("First", 1);
    hiddenMode.AddEntry("Second", 2);
    hiddenMode.Initialize("Second");
    hiddenMode.SetAccessMode(sdk::NA);
    category.AddFeature(hiddenMode);
    auto& command = mTree.map.Add<sdk::CommandNode>("Go");
    category.AddFeature(command);
    auto& notImplemented = mTree.Integer(category, "Missing", 1);
    notImplemented.SetAccessMode(sdk::NI);
    category.AddFeature(mTree.map.Get<sdk::EnumEntryNode>("EnumEntry_Mode_Auto"));
    TracedLog log;
    mSet.CreateFromNodes(mTree.map);

    EXPECT_EQ(Get<Param<int64_t>>(mSet, "Hex").GetOption<std::string>("Format"), "%X");
    auto& hiddenInt = Get<Param<int64_t>>(mSet, "Hidden");
    EXPECT_EQ(hiddenInt.GetValueText() + hiddenInt.GetRangeText(), "0[0..0]");
    EXPECT_EQ(hiddenInt.mDefault, 0);
    EXPECT_FALSE(hiddenInt.mWritable);
    EXPECT_FALSE(hiddenInt.HasOption("Format"));
    auto& realParam = Get<Param<double>>(mSet, "Real");
    EXPECT_EQ(realParam.GetValueText() + realParam.GetRangeText(), "0.25[-1..1]");
    EXPECT_EQ(realParam.GetOption<std::string>("Format"), "%.2f dB");
    auto& hiddenRealParam = Get<Param<double>>(mSet, "HiddenReal");
    EXPECT_EQ(hiddenRealParam.GetValueText() + hiddenRealParam.GetRangeText(), "0[0..0]");
    EXPECT_EQ(hiddenRealParam.GetOption<std::string>("Format"), "%.2f ");
    EXPECT_FALSE(hiddenRealParam.mWritable);  // write-only is not read/write
    auto& flagParam = Get<Param<bool>>(mSet, "Flag");
    EXPECT_TRUE(flagParam.mValue);
    EXPECT_FALSE(flagParam.mWritable);
    auto& textParam = Get<Param<std::string>>(mSet, "Text");
    EXPECT_EQ(textParam.mValue, "hello");
    EXPECT_EQ(textParam.GetOption<gcstring>("DisplayName"), gcstring("The Text"));
    EXPECT_EQ(textParam.mDescription, "Some text.");
    EXPECT_EQ(Get<Param<std::string>>(mSet, "HiddenText").mValue, "");
    EXPECT_EQ(Get<Param<std::string>>(mSet, "Reg").mValue, "");
    auto& modeParam = Get<ParamEnum>(mSet, "Mode");
    EXPECT_EQ(modeParam.mValue, "On");
    EXPECT_EQ(modeParam.mEntries, (std::vector<std::string>{"Off", "On", "Auto"}));
    auto& hiddenModeParam = Get<ParamEnum>(mSet, "HiddenMode");
    EXPECT_EQ(hiddenModeParam.mValue, "First");  // first available entry, not the current one
    EXPECT_EQ(hiddenModeParam.mEntries, (std::vector<std::string>{"First", "Second"}));
    EXPECT_FALSE(mSet.Contains("Go"));
    EXPECT_FALSE(mSet.Contains("Missing"));
    EXPECT_FALSE(mSet.Contains("EnumEntry_Mode_Auto"));
    const std::string where = ", CameraParameters::CreateParamFromNode";
    EXPECT_EQ(log.Count("port5: trace: Skipping ICommand node Go" + where), 1u);
    EXPECT_EQ(log.Count("port5: trace: CreateParamFromNode: Skipping node Missing with access "
                        "mode NotImplemented" +
                        where),
              1u);
    EXPECT_EQ(log.Count("port5: trace: Skipping IEnumEntry node EnumEntry_Mode_Auto" + where), 1u);
    EXPECT_EQ(log.Count("port5: trace: CreateParamFromNode OK: Reg, value=" + where), 1u);
}

TEST_F(FeatureWalkTest, UnsupportedAndNonValueNodesAreSkipped) {
    auto& category = mTree.Category("Cat");
    category.AddFeature(mTree.map.Add<PortNode>("Port"));
    category.AddFeature(mTree.map.Add<BareNode>("Bare"));
    mTree.Integer(category, "After", 1);
    TracedLog log;
    mSet.CreateFromNodes(mTree.map);
    EXPECT_EQ(log.Count("port5: ERR: Skipping Port due to unsupported type:11, "
                        "CameraParameters::CreateParamFromNode"),
              1u);
    EXPECT_EQ(log.Count("port5: trace: CreateFromFeatures  skips non-node" + kWalkWhere), 1u);
    EXPECT_FALSE(mSet.Contains("Port"));
    EXPECT_TRUE(mSet.Contains("After"));
}

TEST_F(FeatureWalkTest, ExceptionsOfOneNodeAreLoggedAndTheWalkGoesOn) {
    auto& category = mTree.Category("Cat");
    mTree.Integer(category, "Sdk", 1).SetValueProvider([]() -> int64_t {
        throw sdk::RuntimeException("device gone");
    });
    mTree.Integer(category, "Std", 1).SetValueProvider([]() -> int64_t {
        throw std::runtime_error("broken");
    });
    mTree.Integer(category, "Other", 1).SetValueProvider([]() -> int64_t { throw 42; });
    // A selector whose second entry cannot be set: the first entry's parameter stays.
    auto& selector = mTree.Enumeration(category, "Sel", {"E1", "E2"});
    selector.SetWriteHandler([](int64_t value) {
        if (value == 1) {
            throw sdk::AccessException("locked");
        }
    });
    auto& selected = mTree.map.Add<sdk::IntegerNode>("F");
    selector.AddSelectedFeature(selected);
    mTree.Integer(category, "Fine", 4);
    TracedLog log(1);
    mSet.CreateFromNodes(mTree.map);

    const std::string where = ", CameraParameters::CreateParamFromNode";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "port5: ERR: CreateParamFromNode Pylon Exception: device gone" + where,
                  "port5: ERR: CreateParamFromNode: Parameter 'Sdk' not created" + where,
                  "port5: ERR: CreateParamFromNode std Exception: broken" + where,
                  "port5: ERR: CreateParamFromNode: Parameter 'Std' not created" + where,
                  "port5: ERR: CreateParamFromNode Undefined Exception" + where,
                  "port5: ERR: CreateParamFromNode: Parameter 'Other' not created" + where,
                  "port5: ERR: CreateParamFromNode Pylon Exception: locked" + where,
                  "port5: ERR: CreateParamFromNode: Parameter 'Sel' not created" + where}));
    std::vector<std::string> names = Names(mSet);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 7, names.end()),
              (std::vector<std::string>{"E1_F", "Fine"}));
}

TEST_F(FeatureWalkTest, MissingRootAndNullCategoryThrowTheirTexts) {
    sdk::MemoryNodeMap noRoot;
    try {
        mSet.CreateFromNodes(noRoot);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CameraParameters::CreateFromNodes: Failed to get root node");
    }
    sdk::MemoryNodeMap rootNotCategory;
    rootNotCategory.Add<sdk::IntegerNode>("Root");
    EXPECT_THROW(mSet.CreateFromNodes(rootNotCategory), std::runtime_error);
    try {
        mSet.CreateFromCategory(nullptr);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CameraParameters::CreateParametersFromCategory: parameter == null");
    }
    EXPECT_EQ(mSet.size(), 7u);
    EXPECT_EQ(mSet.CreateParamFromNode("Cat", nullptr, "", nullptr), nullptr);
}

TEST_F(FeatureWalkTest, CreateParamFromNodeLeavesAddingToTheCaller) {
    auto& node = mTree.Integer(mTree.Category("Cat"), "Lone", 12);
    std::unique_ptr<Param_> parameter = mSet.CreateParamFromNode("Cat", &node, "", nullptr);
    ASSERT_NE(parameter, nullptr);
    EXPECT_EQ(parameter->mName, "Lone");
    EXPECT_FALSE(mSet.Contains("Lone"));
}
