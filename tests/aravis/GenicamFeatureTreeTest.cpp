#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "GenicamBed.h"
#include "parameters/Param.h"
#include "parameters/Param_.h"

// Feature trees as real cameras describe them, each reduced to the one construct a fault was
// seen on: selectors inside selectors, selectors that list another selector's register, selectors
// that cannot move, converters whose formula is not monotonic, sizes behind a selector, no
// PayloadSize, tables of huge length.
namespace {

// An unsigned 32-bit register at a fixed address, or at the address an IntSwissKnife gives.
std::string Reg(const std::string& name, const std::string& address, const char* access = "RW") {
    const bool computed = address.find("0x") != 0;
    return "<IntReg Name=\"" + name + "\">" +
           (computed ? "<pAddress>" + address + "</pAddress>"
                     : "<Address>" + address + "</Address>") +
           "<Length>4</Length><AccessMode>" + access +
           "</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>"
           "<Endianess>BigEndian</Endianess></IntReg>\n";
}

std::string Knife(const std::string& name, const std::string& variables,
                  const std::string& formula) {
    return "<IntSwissKnife Name=\"" + name + "\">" + variables + "<Formula>" + formula +
           "</Formula></IntSwissKnife>\n";
}

std::string Level(const std::string& name, const std::string& reg) {
    return "<Integer Name=\"" + name + "\"><pValue>" + reg +
           "</pValue><Min>0</Min><Max>1000</Max></Integer>\n";
}

std::vector<std::string> Names(Camera* camera) {
    std::vector<std::string> names;
    for (const Param_& parameter : camera->mParameters) {
        if (!parameter.mGeneral) {
            names.push_back(parameter.mName);
        }
    }
    return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Outer (X, Y) selects the register behind Inner (P, Q) and Level; Inner selects Level. Inner's
// register is one per Outer entry, Level's one per pair of entries.
const char* const kNested = R"(
  <Enumeration Name="Outer" NameSpace="Custom">
    <EnumEntry Name="X"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Y"><Value>1</Value></EnumEntry>
    <pValue>OuterReg</pValue>
    <pSelected>InnerReg</pSelected>
    <pSelected>Level</pSelected>
  </Enumeration>
  <Enumeration Name="Inner" NameSpace="Custom">
    <EnumEntry Name="P"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Q"><Value>1</Value></EnumEntry>
    <pValue>InnerReg</pValue>
    <pSelected>Level</pSelected>
  </Enumeration>)";

}  // namespace

// --- Selectors ----------------------------------------------------------------------------------

TEST_F(GenicamBed, NestedSelectorsGiveAParameterPerPairOfEntriesAndConverge) {
    const std::string nodes =
        kNested + Reg("OuterReg", "0x2000") + Reg("InnerReg", "InnerAddress") +
        Knife("InnerAddress", "<pVariable Name=\"O\">OuterReg</pVariable>", "0x2010 + 4 * O") +
        Level("Level", "LevelReg") + Reg("LevelReg", "LevelAddress") +
        Knife(
            "LevelAddress",
            "<pVariable Name=\"O\">OuterReg</pVariable><pVariable Name=\"I\">InnerReg</pVariable>",
            "0x2100 + 16 * O + 4 * I");
    auto served = Serve(Minimal(
        "<pFeature>Outer</pFeature><pFeature>Inner</pFeature><pFeature>Level</pFeature>", nodes));
    const auto level = [&](int outer, int inner) {
        served->WriteInteger("Outer", outer);
        served->WriteInteger("Inner", inner);
        return served->ReadInteger("Level");
    };
    for (int outer = 0; outer < 2; ++outer) {
        for (int inner = 0; inner < 2; ++inner) {
            served->WriteInteger("Outer", outer);
            served->WriteInteger("Inner", inner);
            served->WriteInteger("Level", 10 * outer + inner + 1);
        }
    }
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen) << Lines(mLog.Messages());
    const std::vector<std::string> names = Names(camera);
    int value = 0;
    const std::vector<std::pair<std::string, int>> expected = {
        {"X_P_Level", 1}, {"X_Q_Level", 2}, {"Y_P_Level", 11}, {"Y_Q_Level", 12}};
    for (const auto& [name, stored] : expected) {
        EXPECT_EQ(getProperty(0, 0, name.c_str(), &value), 1) << name << Lines(mLog.Messages());
        EXPECT_EQ(value, stored) << name;
    }
    // Neither the register behind Inner nor Level under Outer alone (which entry of Inner would
    // it be?) is a parameter.
    for (const char* name : {"X_InnerReg", "X_Level", "Y_Level", "P_Level", "X_Inner"}) {
        EXPECT_FALSE(Has(names, name)) << name;
    }
    EXPECT_TRUE(mLog.Contains("Apply Parameters: Success"));
    EXPECT_FALSE(mLog.Contains("iteration:2/5")) << Lines(mLog.Messages());
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());

    // A host's write reaches the entries it names, and only those.
    ASSERT_EQ(setProperty(0, 0, "Y_P_Level", 55), 1);
    EXPECT_EQ(level(1, 0), 55);
    EXPECT_EQ(level(0, 0), 1);
    EXPECT_EQ(level(0, 1), 2);
    EXPECT_EQ(level(1, 1), 12);
    ASSERT_EQ(getProperty(0, 0, "X_Q_Level", &value), 1);
    EXPECT_EQ(value, 2);
}

TEST_F(GenicamBed, ASelectorThatCannotMoveHasOnlyTheEntryItStandsAt) {
    const std::string nodes =
        R"(
  <Enumeration Name="Fixed" NameSpace="Custom">
    <ImposedAccessMode>RO</ImposedAccessMode>
    <EnumEntry Name="A"><Value>0</Value></EnumEntry>
    <EnumEntry Name="B"><Value>1</Value></EnumEntry>
    <pValue>FixedReg</pValue>
    <pSelected>Level</pSelected>
  </Enumeration>)" +
        Reg("FixedReg", "0x2000") + Level("Level", "LevelReg") + Reg("LevelReg", "LevelAddress") +
        Knife("LevelAddress", "<pVariable Name=\"F\">FixedReg</pVariable>", "0x2010 + 4 * F");
    auto served = Serve(Minimal("<pFeature>Fixed</pFeature>", nodes));
    served->WriteInteger("Fixed", 1);
    served->WriteInteger("Level", 33);
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen);
    const std::vector<std::string> names = Names(camera);
    EXPECT_TRUE(Has(names, "B_Level"));
    EXPECT_FALSE(Has(names, "A_Level")) << "A cannot be reached";
    int value = 0;
    ASSERT_EQ(getProperty(0, 0, "B_Level", &value), 1);
    EXPECT_EQ(value, 33);
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());
}

// --- Converters
// -----------------------------------------------------------------------------------

TEST_F(GenicamBed, AConverterThatIsNotMonotonicBoundsNothing) {
    // Entry 1 of Mode maps to register value 1; the converter's bound taken from the register's
    // maximum is (4294967295 = 1) ? 1 : 0, that is 0. Scaled's maximum would be 4294967295 % 7.
    const std::string nodes =
        R"(
  <Enumeration Name="Mode" NameSpace="Custom">
    <EnumEntry Name="Off"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Active"><Value>1</Value></EnumEntry>
    <pValue>ModeValue</pValue>
    <pSelected>Level</pSelected>
  </Enumeration>
  <IntConverter Name="ModeValue">
    <FormulaTo>FROM</FormulaTo>
    <FormulaFrom>(TO = 1) ? 1 : 0</FormulaFrom>
    <pValue>ModeReg</pValue>
    <Slope>Varying</Slope>
  </IntConverter>
  <Integer Name="Scaled" NameSpace="Custom"><pValue>ScaledValue</pValue></Integer>
  <IntConverter Name="ScaledValue">
    <FormulaTo>FROM</FormulaTo>
    <FormulaFrom>TO % 7</FormulaFrom>
    <pValue>ScaledReg</pValue>
    <Slope>Varying</Slope>
  </IntConverter>)" +
        Reg("ModeReg", "0x2000") + Reg("ScaledReg", "0x2004") + Level("Level", "LevelReg") +
        Reg("LevelReg", "LevelAddress") +
        Knife("LevelAddress", "<pVariable Name=\"M\">ModeReg</pVariable>", "0x2010 + 4 * M");
    auto served = Serve(Minimal("<pFeature>Mode</pFeature><pFeature>Scaled</pFeature>", nodes));
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen);
    const std::vector<std::string> names = Names(camera);
    EXPECT_TRUE(Has(names, "Off_Level"));
    EXPECT_TRUE(Has(names, "Active_Level")) << "the expansion reaches entry 1";
    ASSERT_EQ(setProperty(0, 0, "Active_Level", 7), 1);
    served->WriteInteger("Mode", 1);
    EXPECT_EQ(served->ReadInteger("Level"), 7);
    const auto* scaled = dynamic_cast<const Param<int64_t>*>(camera->mParameters.Find("Scaled"));
    ASSERT_TRUE(scaled);
    EXPECT_GT(scaled->mMax, 6);
    setProperty(0, 0, "Scaled", 5);
    EXPECT_EQ(served->ReadInteger("Scaled"), 5);
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());
}

// --- What the open reads from the camera -------------------------------------------------------

TEST_F(GenicamBed, ACameraWithoutTriggerFeaturesHasNoSoftwareTriggerAndLogsNoError) {
    Serve(Minimal("", ""));
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen);
    EXPECT_FALSE(camera->mUseSoftwareTrigger);
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());
}

TEST_F(GenicamBed, AReadOnlyTriggerSelectorIsAskedAtItsOwnEntryWithoutBeingWritten) {
    const std::string nodes = R"(
  <Enumeration Name="TriggerSelector" NameSpace="Standard">
    <ImposedAccessMode>RO</ImposedAccessMode>
    <EnumEntry Name="AcquisitionStart"><Value>0</Value></EnumEntry>
    <EnumEntry Name="FrameStart"><Value>1</Value></EnumEntry>
    <pValue>TriggerSelectorReg</pValue>
    <pSelected>TriggerMode</pSelected>
    <pSelected>TriggerSource</pSelected>
  </Enumeration>
  <Enumeration Name="TriggerMode" NameSpace="Standard">
    <EnumEntry Name="Off"><Value>0</Value></EnumEntry>
    <EnumEntry Name="On"><Value>1</Value></EnumEntry>
    <pValue>TriggerModeReg</pValue>
  </Enumeration>
  <Enumeration Name="TriggerSource" NameSpace="Standard">
    <EnumEntry Name="Software"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Line1"><Value>1</Value></EnumEntry>
    <pValue>TriggerSourceReg</pValue>
  </Enumeration>)" + Reg("TriggerSelectorReg", "0x2000") +
                              Reg("TriggerModeReg", "0x2004") + Reg("TriggerSourceReg", "0x2008");
    auto served = Serve(Minimal("<pFeature>TriggerSelector</pFeature>", nodes));
    served->WriteInteger("TriggerSelector", 1);
    served->WriteInteger("TriggerMode", 1);
    served->WriteInteger("TriggerSource", 0);
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen);
    EXPECT_TRUE(camera->mUseSoftwareTrigger);
    EXPECT_EQ(served->ReadInteger("TriggerSelector"), 1);
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());
}

TEST_F(GenicamBed, AnImageWhoseSizeIsReachedThroughASelectorOpensAndGrabsAtThatSize) {
    std::string text = MinimalText("", R"(
  <Enumeration Name="BinningSelector" NameSpace="Standard">
    <EnumEntry Name="Sensor"><Value>0</Value></EnumEntry>
    <pValue>BinningSelectorReg</pValue>
    <pSelected>Width</pSelected>
    <pSelected>Height</pSelected>
  </Enumeration>)" + Reg("BinningSelectorReg", "0x2000"));
    const std::string sizes = "<pFeature>Width</pFeature>\n    <pFeature>Height</pFeature>";
    ASSERT_NE(text.find(sizes), std::string::npos);
    text.replace(text.find(sizes), sizes.size(), "<pFeature>BinningSelector</pFeature>");
    sdk::AravisDeviceSource::Install(nullptr);
    const GenicamFileCheck::Result result = GenicamFileCheck::Run(Description(text));
    EXPECT_TRUE(result.Passed()) << Lines(result.first.errorLines);
    EXPECT_EQ(result.first.width, 64);
    EXPECT_EQ(result.first.height, 48);
}

TEST_F(GenicamBed, ACameraWithoutPayloadSizeGrabsFramesOfItsImageSize) {
    std::string text = MinimalText("", "");
    for (const std::string& cut :
         {std::string("<pFeature>PayloadSize</pFeature>"),
          text.substr(text.find("<IntSwissKnife Name=\"PayloadSize\""),
                      text.find("</IntSwissKnife>") + 16 -
                          text.find("<IntSwissKnife Name=\"PayloadSize\""))}) {
        ASSERT_NE(text.find(cut), std::string::npos) << cut;
        text.erase(text.find(cut), cut.size());
    }
    sdk::AravisDeviceSource::Install(nullptr);
    const GenicamFileCheck::Result result = GenicamFileCheck::Run(Description(text));
    EXPECT_TRUE(result.Passed()) << Lines(result.first.errorLines);
    EXPECT_TRUE(result.first.singleRows);
    EXPECT_GE(result.first.continuousFrames, 10);
}

TEST_F(GenicamBed, ATableOfHugeLengthIsNeitherReadNorAllocatedByTheOpen) {
    const std::string nodes = R"(
  <Register Name="Table" NameSpace="Custom">
    <Address>0x100000</Address>
    <pLength>TableLength</pLength>
    <AccessMode>RO</AccessMode>
    <pPort>Device</pPort>
  </Register>)" + Knife("TableLength", "<pVariable Name=\"D\">Depth</pVariable>", "4 &lt;&lt; D") +
                              Reg("Depth", "0x2000", "RO");
    auto served = Serve(Minimal("<pFeature>Table</pFeature>", nodes));
    served->WriteInteger("Depth", 31);  // 8 GiB
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    Camera* camera = OpenThroughExports();
    ASSERT_TRUE(camera && camera->mIsOpen);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 512 * 1024) << "kB";
    const Param_* table = camera->mParameters.Find("Table");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->GetValueText(), "");
    EXPECT_TRUE(ErrorLines().empty()) << Lines(ErrorLines());
}
