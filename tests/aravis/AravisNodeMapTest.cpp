#include <arv.h>

#include <cstdint>
#include <limits>
#include <set>

#include "AravisFixture.h"
#include "sdk/aravis/AravisDevice.h"
#include "sdk/genapi/GenApi.h"

using namespace sdk;

namespace {

std::vector<std::string> Names(const FeatureList_t& features) {
    std::vector<std::string> names;
    for (IValue* value : features) {
        names.push_back(value->GetNode()->GetName().str());
    }
    return names;
}

ArvDevice* ArvOf(InstantCamera& camera) {
    return static_cast<AravisDevice*>(camera.GetDevice())->GetArvDevice();
}

}  // namespace

TEST_F(AravisFakeTest, WalkOfTheFakesTreeReachesEveryFeatureWithItsKind) {
    auto camera = OpenCamera();
    INodeMap& nodes = camera->GetNodeMap();
    ICategory* root = As<ICategory>(nodes.GetNode("Root"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Names(root->GetFeatures()),
              (std::vector<std::string>{"DeviceControl", "ImageFormatControl", "AcquisitionControl",
                                        "TransportLayerControl", "Debug"}));
    EXPECT_EQ(root->GetNode()->GetAccessMode(), RO);

    // Every feature of every category is a node of the map with a typed view.
    size_t features = 0;
    for (IValue* category : root->GetFeatures()) {
        for (IValue* feature : As<ICategory>(category)->GetFeatures()) {
            ++features;
            EXPECT_EQ(nodes.GetNode(feature->GetNode()->GetName()), feature->GetNode());
            EXPECT_TRUE(IsImplemented(feature->GetNode()));
        }
    }
    EXPECT_GE(features, 25u);

    EXPECT_EQ(nodes.GetNode("Width")->GetPrincipalInterfaceType(), intfIInteger);
    EXPECT_EQ(nodes.GetNode("Width")->GetAccessMode(), RW);
    EXPECT_EQ(nodes.GetNode("SensorWidth")->GetAccessMode(), RO);
    EXPECT_EQ(nodes.GetNode("AcquisitionStart")->GetPrincipalInterfaceType(), intfICommand);
    EXPECT_EQ(nodes.GetNode("AcquisitionStart")->GetAccessMode(), WO);
    EXPECT_EQ(As<IString>(nodes.GetNode("DeviceVendorName"))->GetValue(), "Aravis");
    EXPECT_EQ(nodes.GetNode("DeviceVendorName")->GetAccessMode(), RO);
    EXPECT_NE(As<IInteger>(nodes.GetNode("TestRegister")), nullptr);  // an IntReg is an integer

    IFloat* exposure = As<IFloat>(nodes.GetNode("ExposureTimeAbs"));
    ASSERT_NE(exposure, nullptr);
    EXPECT_FALSE(exposure->HasInc());
    EXPECT_EQ(exposure->GetInc(), 0.0);
    EXPECT_LT(exposure->GetMin(), exposure->GetMax());

    IEnumeration* format = As<IEnumeration>(nodes.GetNode("PixelFormat"));
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->ToString(), "Mono8");
    IEnumEntry* mono8 = format->GetEntryByName("Mono8");
    ASSERT_NE(mono8, nullptr);
    EXPECT_EQ(mono8->GetValue(), 0x01080001);  // PFNC number
    EXPECT_EQ(mono8->GetNode()->GetName(), "EnumEntry_PixelFormat_Mono8");
    EXPECT_EQ(nodes.GetNode("EnumEntry_PixelFormat_Mono8"), mono8->GetNode());
    EXPECT_EQ(format->GetCurrentEntry(), mono8);
    EXPECT_EQ(format->GetEntries().size(), 7u);
    EXPECT_EQ(nodes.GetNode("NoSuchFeature"), nullptr);
}

TEST_F(AravisFakeTest, WritesAreCheckedAndReadBack) {
    auto camera = OpenCamera();
    INodeMap& nodes = camera->GetNodeMap();
    IInteger* width = As<IInteger>(nodes.GetNode("Width"));
    EXPECT_EQ(width->GetMin(), 1);
    EXPECT_EQ(width->GetMax(), 2048);
    EXPECT_THROW(width->SetValue(4096), OutOfRangeException);
    EXPECT_THROW(width->SetValue(0), OutOfRangeException);
    width->SetValue(320);
    EXPECT_EQ(width->GetValue(), 320);
    EXPECT_EQ(As<IInteger>(nodes.GetNode("PayloadSize"))->GetValue(false, true), 320 * 512);
    width->FromString("256");
    EXPECT_EQ(width->ToString(), "256");
    EXPECT_THROW(width->FromString("wide"), InvalidArgumentException);

    EXPECT_THROW(As<IInteger>(nodes.GetNode("SensorWidth"))->SetValue(10), AccessException);

    IEnumeration* mode = As<IEnumeration>(nodes.GetNode("AcquisitionMode"));
    mode->FromString("SingleFrame");
    EXPECT_EQ(mode->ToString(), "SingleFrame");
    EXPECT_THROW(mode->FromString("Sometimes"), InvalidArgumentException);
    EXPECT_THROW(mode->SetIntValue(12345), OutOfRangeException);
    mode->FromString("Continuous");
}

TEST_F(AravisFakeTest, CachedValuesUntilInvalidatedOrIgnored) {
    auto camera = OpenCamera();
    INodeMap& nodes = camera->GetNodeMap();
    IInteger* width = As<IInteger>(nodes.GetNode("Width"));
    ASSERT_EQ(width->GetValue(), 512);
    // The device changes behind the node map's back (register 0x100 is Width's).
    ASSERT_TRUE(arv_device_write_register(ArvOf(*camera), 0x100, 128, nullptr));
    EXPECT_EQ(width->GetValue(), 512);             // from the cache
    EXPECT_EQ(width->GetValue(false, true), 128);  // ignoring it
    ASSERT_TRUE(arv_device_write_register(ArvOf(*camera), 0x100, 64, nullptr));
    EXPECT_EQ(width->GetValue(), 128);
    nodes.InvalidateNodes();
    EXPECT_EQ(width->GetValue(), 64);
}

TEST_F(AravisOwnXmlTest, SelectorsAndTheFeaturesTheySelect) {
    auto camera = OpenCamera("OSTR42");
    INodeMap& nodes = camera->GetNodeMap();
    INode* selector = nodes.GetNode("GainSelector");
    INode* gain = nodes.GetNode("Gain");
    ASSERT_NE(selector, nullptr);
    ASSERT_NE(gain, nullptr);
    EXPECT_TRUE(selector->IsSelector());
    EXPECT_FALSE(gain->IsSelector());
    EXPECT_EQ(Names(selector->GetSelectedFeatures()), std::vector<std::string>{"Gain"});
    EXPECT_EQ(Names(gain->GetSelectingFeatures()), std::vector<std::string>{"GainSelector"});
    EXPECT_TRUE(selector->GetSelectingFeatures().empty());
    EXPECT_EQ(Names(nodes.GetNode("ChunkEnable")->GetSelectingFeatures()),
              std::vector<std::string>{"ChunkSelector"});
    EXPECT_EQ(selector->GetDisplayName(), "Gain Selector");
    EXPECT_EQ(selector->GetDescription(), "Selects which gain is controlled.");
    EXPECT_EQ(gain->GetDisplayName(), "Gain");  // no display name: the name

    // One value per selector entry.
    IEnumeration* sel = As<IEnumeration>(selector);
    IInteger* value = As<IInteger>(gain);
    sel->FromString("All");
    value->SetValue(10);
    sel->FromString("Red");
    value->SetValue(20);
    EXPECT_EQ(value->GetValue(), 20);
    sel->FromString("All");
    EXPECT_EQ(value->GetValue(), 10);
    EXPECT_THROW(value->SetValue(11), OutOfRangeException);  // increment 2

    // Entries with their availability.
    IEnumEntry* blue = sel->GetEntryByName("Blue");
    ASSERT_NE(blue, nullptr);
    EXPECT_EQ(blue->GetNode()->GetAccessMode(), NA);
    EXPECT_EQ(sel->GetEntryByName("Red")->GetNode()->GetAccessMode(), RO);
    EXPECT_THROW(sel->FromString("Blue"), AccessException);
    EXPECT_EQ(sel->GetEntries().size(), 3u);
}

TEST_F(AravisOwnXmlTest, AccessModesBoundsUnitsAndRepresentation) {
    auto camera = OpenCamera("OSTR42");
    INodeMap& nodes = camera->GetNodeMap();
    EXPECT_EQ(nodes.GetNode("LockedValue")->GetAccessMode(), RO);  // locked counts as read-only
    EXPECT_THROW(As<IInteger>(nodes.GetNode("LockedValue"))->SetValue(1), AccessException);
    EXPECT_EQ(nodes.GetNode("UnavailableValue")->GetAccessMode(), NA);
    EXPECT_EQ(nodes.GetNode("NotImplementedValue")->GetAccessMode(), NI);
    EXPECT_THROW(As<IInteger>(nodes.GetNode("UnavailableValue"))->GetValue(), AccessException);

    IInteger* unbounded = As<IInteger>(nodes.GetNode("Unbounded"));
    EXPECT_EQ(unbounded->GetMin(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(unbounded->GetMax(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(unbounded->GetInc(), 1);
    unbounded->SetValue(-5000000000LL);
    EXPECT_EQ(unbounded->GetValue(false, true), -5000000000LL);

    IInteger* hex = As<IInteger>(nodes.GetNode("HexValue"));
    EXPECT_EQ(hex->GetRepresentation(), HexNumber);
    EXPECT_EQ(hex->GetUnit(), "B");
    hex->SetValue(0xBEEF);
    EXPECT_EQ(hex->ToString(), "0xBEEF");

    IFloat* gamma = As<IFloat>(nodes.GetNode("Gamma"));
    EXPECT_EQ(gamma->GetUnit(), "x");
    EXPECT_FALSE(gamma->HasInc());
    gamma->SetValue(1.5);
    EXPECT_DOUBLE_EQ(gamma->GetValue(), 1.5);
    EXPECT_THROW(gamma->SetValue(8.0), OutOfRangeException);
    IFloat* step = As<IFloat>(nodes.GetNode("StepFloat"));
    EXPECT_TRUE(step->HasInc());
    EXPECT_DOUBLE_EQ(step->GetInc(), 0.5);
}

TEST_F(AravisOwnXmlTest, ChunkFeaturesAreInTheTree) {
    auto camera = OpenCamera("OSTR42");
    INodeMap& nodes = camera->GetNodeMap();
    ICategory* chunkData = As<ICategory>(nodes.GetNode("ChunkData"));
    ASSERT_NE(chunkData, nullptr);
    EXPECT_EQ(Names(chunkData->GetFeatures()),
              (std::vector<std::string>{"ChunkTimestamp", "ChunkFramecounter"}));
    EXPECT_NE(As<IInteger>(nodes.GetNode("ChunkTimestamp")), nullptr);
    IBoolean* active = As<IBoolean>(nodes.GetNode("ChunkModeActive"));
    ASSERT_NE(active, nullptr);
    active->SetValue(true);
    EXPECT_TRUE(active->GetValue(false, true));
    EXPECT_EQ(active->ToString(), "1");
    EXPECT_TRUE(nodes.GetNode("ChunkSelector")->IsSelector());

    // The whole map: unique names, every node with a kind.
    std::set<std::string> names;
    for (INode* node : nodes.GetNodes()) {
        EXPECT_TRUE(names.insert(node->GetName().str()).second) << node->GetName();
    }
    EXPECT_TRUE(names.count("EnumEntry_ChunkSelector_Timestamp"));
}
