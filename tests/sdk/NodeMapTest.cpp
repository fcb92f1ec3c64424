#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

#include "sdk/genapi/GenApi.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/CategoryNode.h"
#include "sdk/nodes/CommandNode.h"
#include "sdk/nodes/EnumEntryNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/nodes/RegisterNode.h"
#include "sdk/nodes/StringNode.h"

using namespace sdk;

namespace {

// A small map: a selector with two entries selecting an integer, a coupled pair of integers.
class NodeMapTest : public ::testing::Test {
  protected:
    NodeMapTest() {
        selector = &map.Add<EnumerationNode>("LineSelector");
        selector->AddEntry("Out1", 10);
        selector->AddEntry("Out2", 20);
        selector->AddEntry("Out3", 30, false);
        selected = &map.Add<IntegerNode>("LineValue");
        selected->SetRange(0, 100, 5).Initialize(5);
        selector->AddSelectedFeature(*selected);
        size = &map.Add<IntegerNode>("Size");
        offset = &map.Add<IntegerNode>("Offset");
        size->SetRange(1, 100).Initialize(100);
        offset->SetRange(0, 0).Initialize(0);
        size->SetMaxProvider([this] { return 100 - offset->ReadRaw(); });
        offset->SetMaxProvider([this] { return 100 - size->ReadRaw(); });
    }

    MemoryNodeMap map;
    EnumerationNode* selector;
    IntegerNode* selected;
    IntegerNode* size;
    IntegerNode* offset;
};

TEST_F(NodeMapTest, LooksUpNodesByExactNameAndKeepsCreationOrder) {
    EXPECT_EQ(map.GetNode("LineSelector"), selector);
    EXPECT_EQ(map.GetNode("lineselector"), nullptr);
    EXPECT_EQ(map.GetNode("Missing"), nullptr);
    const NodeList_t nodes = map.GetNodes();
    ASSERT_GE(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->GetName(), gcstring("LineSelector"));
    EXPECT_EQ(nodes[1]->GetName(), gcstring("EnumEntry_LineSelector_Out1"));
    EXPECT_THROW(map.Add<IntegerNode>("Size"), LogicalErrorException);
}

TEST_F(NodeMapTest, TypedViewsFollowTheNodeKind) {
    INode* node = map.GetNode("Size");
    EXPECT_NE(As<IInteger>(node), nullptr);
    EXPECT_EQ(As<IFloat>(node), nullptr);
    EXPECT_EQ(As<IEnumeration>(node), nullptr);
    EXPECT_EQ(As<IInteger>(static_cast<INode*>(nullptr)), nullptr);
    EXPECT_EQ(node->GetPrincipalInterfaceType(), intfIInteger);
    EXPECT_EQ(As<IInteger>(node)->GetNode(), node);
    EXPECT_EQ(map.GetNode("LineSelector")->GetPrincipalInterfaceType(), intfIEnumeration);
    EXPECT_EQ(map.GetNode("EnumEntry_LineSelector_Out1")->GetPrincipalInterfaceType(),
              intfIEnumEntry);
}

TEST_F(NodeMapTest, AccessHelpersAreNullSafe) {
    EXPECT_FALSE(IsReadable(static_cast<INode*>(nullptr)));
    EXPECT_FALSE(IsWritable(static_cast<INode*>(nullptr)));
    EXPECT_FALSE(IsAvailable(static_cast<INode*>(nullptr)));
    EXPECT_FALSE(IsImplemented(static_cast<INode*>(nullptr)));
    size->SetAccessMode(RO);
    EXPECT_TRUE(IsReadable(size));
    EXPECT_FALSE(IsWritable(size));
    size->SetAccessMode(NA);
    EXPECT_TRUE(IsImplemented(size));
    EXPECT_FALSE(IsAvailable(size));
    size->SetAccessMode(NI);
    EXPECT_FALSE(IsImplemented(size));
}

TEST_F(NodeMapTest, IntegerWritesCheckAccessRangeAndIncrement) {
    selected->SetValue(50);
    EXPECT_EQ(selected->GetValue(), 50);
    EXPECT_THROW(selected->SetValue(51), OutOfRangeException);  // 0 + n * 5
    EXPECT_THROW(selected->SetValue(105), OutOfRangeException);
    EXPECT_THROW(selected->SetValue(-5), OutOfRangeException);
    EXPECT_EQ(selected->GetValue(), 50);
    selected->SetAccessMode(RO);
    EXPECT_THROW(selected->SetValue(10), AccessException);
    selected->SetAccessMode(WO);
    EXPECT_THROW(selected->GetValue(), AccessException);
    EXPECT_THROW(selected->ToString(), AccessException);
}

TEST_F(NodeMapTest, CoupledRangesFollowEachOther) {
    EXPECT_EQ(offset->GetMax(), 0);
    EXPECT_THROW(offset->SetValue(10), OutOfRangeException);
    size->SetValue(60);
    EXPECT_EQ(offset->GetMax(), 40);
    offset->SetValue(40);
    EXPECT_EQ(size->GetMax(), 60);
    EXPECT_THROW(size->SetValue(61), OutOfRangeException);
}

TEST_F(NodeMapTest, SelectedValuesExistPerSelectorEntry) {
    EXPECT_TRUE(selector->IsSelector());
    EXPECT_FALSE(selected->IsSelector());
    FeatureList_t features = selector->GetSelectedFeatures();
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0]->GetNode(), selected);
    features = selected->GetSelectingFeatures();
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0]->GetNode(), selector);

    selector->FromString("Out1");
    selected->SetValue(10);
    selector->FromString("Out2");
    EXPECT_EQ(selected->GetValue(), 5);  // initial value of every entry
    selected->SetValue(20);
    selector->SetIntValue(10);
    EXPECT_EQ(selected->GetValue(), 10);
}

TEST_F(NodeMapTest, EnumerationKeepsEntryOrderAndRefusesUnavailableOrUnknownEntries) {
    const NodeList_t entries = selector->GetEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(As<IEnumEntry>(entries[2])->GetSymbolic(), gcstring("Out3"));
    EXPECT_EQ(entries[2]->GetAccessMode(), NA);
    EXPECT_EQ(selector->GetIntValue(), 10);  // first entry added
    EXPECT_EQ(selector->ToString(), gcstring("Out1"));
    EXPECT_THROW(selector->FromString("Out3"), AccessException);
    EXPECT_THROW(selector->FromString("out2"), InvalidArgumentException);
    EXPECT_THROW(selector->SetIntValue(11), OutOfRangeException);
    EXPECT_EQ(selector->GetEntryByName("Out9"), nullptr);
    EXPECT_EQ(selector->GetEntry(20)->GetSymbolic(), gcstring("Out2"));
    selector->SetIntValue(20);
    EXPECT_EQ(selector->GetCurrentEntry()->GetSymbolic(), gcstring("Out2"));
}

TEST_F(NodeMapTest, TextFormsFollowTheRepresentation) {
    IntegerNode& hex = map.Add<IntegerNode>("Hex");
    hex.SetRepresentation(HexNumber).Initialize(0x1F);
    EXPECT_EQ(hex.ToString(), gcstring("0x1F"));
    hex.FromString("0x0A");
    EXPECT_EQ(hex.GetValue(), 10);
    hex.FromString(" 12 ");
    EXPECT_EQ(hex.GetValue(), 12);
    EXPECT_THROW(hex.FromString("12abc"), InvalidArgumentException);
    EXPECT_THROW(hex.FromString(""), InvalidArgumentException);

    IntegerNode& ip = map.Add<IntegerNode>("Ip");
    ip.SetRepresentation(IPV4Address).Initialize(0xC0A80001);
    EXPECT_EQ(ip.ToString(), gcstring("192.168.0.1"));
    IntegerNode& mac = map.Add<IntegerNode>("Mac");
    mac.SetRepresentation(MACAddress).Initialize(0x003053AB12CDLL);
    EXPECT_EQ(mac.ToString(), gcstring("00:30:53:AB:12:CD"));

    FloatNode& f = map.Add<FloatNode>("F");
    f.Initialize(0.1);
    EXPECT_EQ(f.ToString(), gcstring("0.1"));
    BooleanNode& b = map.Add<BooleanNode>("B");
    b.FromString("TRUE");
    EXPECT_EQ(b.ToString(), gcstring("1"));
    EXPECT_THROW(b.FromString("yes"), InvalidArgumentException);
}

TEST_F(NodeMapTest, FloatWriteHandlerMayStoreADifferentValue) {
    FloatNode& f = map.Add<FloatNode>("Exposure");
    double stored = 0;
    f.SetRange(10.0, 1000.0)
        .SetValueProvider([&] { return stored; })
        .SetWriteHandler([&](double v) { stored = 20.0 * static_cast<int>(v / 20.0 + 0.5); });
    f.SetValue(105.0);
    EXPECT_DOUBLE_EQ(f.GetValue(), 100.0);
    EXPECT_THROW(f.SetValue(1000.5), OutOfRangeException);
    EXPECT_FALSE(f.HasInc());
}

TEST_F(NodeMapTest, StringRegisterCommandAndCategory) {
    StringNode& s = map.Add<StringNode>("Name");
    s.SetMaxLength(4);
    s.SetValue("abcd");
    EXPECT_THROW(s.SetValue("abcde"), OutOfRangeException);
    EXPECT_EQ(s.GetValue(), gcstring("abcd"));

    RegisterNode& r = map.Add<RegisterNode>("Reg", 0x100, 3);
    r.Initialize({0x01, 0xAB, 0x00});
    EXPECT_EQ(r.ToString(), gcstring("0x01AB00"));
    r.FromString("0x0203");
    EXPECT_EQ(r.ToString(), gcstring("0x020300"));
    EXPECT_THROW(r.FromString("0x01020304"), OutOfRangeException);
    EXPECT_THROW(r.FromString("0x1"), InvalidArgumentException);

    int runs = 0;
    CommandNode& c = map.Add<CommandNode>("Go");
    c.SetExecuteHandler([&] { ++runs; });
    EXPECT_EQ(c.GetAccessMode(), WO);
    c.Execute();
    EXPECT_TRUE(c.IsDone());
    EXPECT_EQ(runs, 1);

    CategoryNode& cat = map.Add<CategoryNode>("Root");
    cat.AddFeature(s).AddFeature(c);
    const FeatureList_t features = cat.GetFeatures();
    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[1]->GetNode()->GetName(), gcstring("Go"));
    EXPECT_EQ(cat.GetAccessMode(), RO);
}

TEST_F(NodeMapTest, InitialValuesBypassAccessButNotRangeAndSelectOneEntry) {
    size->SetAccessMode(RO);
    EXPECT_TRUE(map.ApplyInitialValue("Size", "", "50"));
    EXPECT_EQ(size->GetValue(), 50);
    EXPECT_FALSE(map.ApplyInitialValue("Size", "", "500"));
    EXPECT_FALSE(map.ApplyInitialValue("Size", "", "fifty"));
    EXPECT_FALSE(map.ApplyInitialValue("Nothing", "", "1"));
    EXPECT_THROW(size->SetValue(40), AccessException);  // bypass ended

    EXPECT_TRUE(map.ApplyInitialValue("LineValue", "Out2", "15"));
    EXPECT_FALSE(map.ApplyInitialValue("LineValue", "Out9", "15"));
    EXPECT_FALSE(map.ApplyInitialValue("LineValue", "Out3", "15"));  // entry not available
    EXPECT_EQ(selector->ToString(), gcstring("Out1"));               // put back
    EXPECT_EQ(selected->GetValue(), 5);
    selector->FromString("Out2");
    EXPECT_EQ(selected->GetValue(), 15);
}

// Qt sets the process locale from the environment when a dialog opens, so a German host runs
// with a decimal comma: the text forms of floats must not follow it.
TEST_F(NodeMapTest, FloatTextsIgnoreTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no decimal-comma locale installed";
    }
    const std::locale previousGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    FloatNode& exposure = map.Add<FloatNode>("ExposureTime");
    exposure.SetRange(0.0, 1e6);
    const bool applied = map.ApplyInitialValue("ExposureTime", "", "1000.5");
    const double value = exposure.GetValue();
    exposure.SetValue(0.25);
    const std::string text = exposure.ToString().str();
    bool commaRefused = false;
    try {
        exposure.FromString("1,5");
    } catch (const InvalidArgumentException&) {
        commaRefused = true;
    }
    std::locale::global(previousGlobal);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_TRUE(applied);
    EXPECT_DOUBLE_EQ(value, 1000.5);
    EXPECT_EQ(text, "0.25");
    EXPECT_TRUE(commaRefused);
}

}  // namespace
