// What an open costs in register transactions, and that what the node map keeps of the camera's
// registers is what the camera holds: values the camera changes after a write, NoCache
// registers, selector positions, cameras that serve single registers only.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "GenicamBed.h"
#include "parameters/Param.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/NodeMapSnapshot.h"

using namespace sdk;

namespace {

// Integer features of the test's own over registers of its own (big endian, 32 bits).
std::string IntegerFeature(const std::string& name, const std::string& address,
                           const std::string& access, const std::string& extra = "") {
    return "<Integer Name=\"" + name + "\" NameSpace=\"Custom\"><pValue>" + name +
           "Reg</pValue></Integer><IntReg Name=\"" + name + "Reg\" NameSpace=\"Custom\"><Address>" +
           address + "</Address><Length>4</Length><AccessMode>" + access +
           "</AccessMode><pPort>Device</pPort>" + extra +
           "<Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>";
}

int64_t Value(INodeMap& nodes, const char* name) {
    return As<IInteger>(nodes.GetNode(name))->GetValue();
}

// A selector with entries A (0) and B (1) and the level it selects, which the camera keeps per
// entry at one address (as cameras do): the bed swaps it when the selector's register moves.
const char* const kSelectorFeatures = "<pFeature>Sel</pFeature><pFeature>Level</pFeature>";
const std::string kSelectorNodes =
    "<Enumeration Name=\"Sel\" NameSpace=\"Custom\"><EnumEntry Name=\"A\"><Value>0</Value>"
    "</EnumEntry><EnumEntry Name=\"B\"><Value>1</Value></EnumEntry><pValue>SelReg</pValue>"
    "<pSelected>Level</pSelected></Enumeration>"
    "<IntReg Name=\"SelReg\" NameSpace=\"Custom\"><Address>0x2020</Address><Length>4</Length>"
    "<AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>"
    "<Endianess>BigEndian</Endianess></IntReg>" +
    IntegerFeature("Level", "0x2024", "RW", "<pInvalidator>SelReg</pInvalidator>");

void MultiplexLevel(GenicamMemoryCamera& camera, uint32_t a, uint32_t b) {
    auto stored = std::make_shared<std::array<uint32_t, 2>>(std::array<uint32_t, 2>{a, b});
    auto at = std::make_shared<uint32_t>(0);
    camera.Poke32(0x2020, 0);
    camera.Poke32(0x2024, a);
    camera.OnWrite(0x2020, [stored, at](GenicamMemoryCamera& self) {
        (*stored)[*at & 1] = self.Peek32(0x2024);
        *at = self.Peek32(0x2020) & 1;
        self.Poke32(0x2024, (*stored)[*at]);
    });
}

// Goes through the entries A and B of kSelectorNodes' selector twice, checking the level the
// camera keeps at each (MultiplexLevel(camera, 3, 5)); what that cost.
GenicamMemoryCamera::Transactions GoThroughTwice(GenicamMemoryCamera& camera, INodeMap& nodes) {
    IEnumeration* sel = As<IEnumeration>(nodes.GetNode("Sel"));
    const auto before = camera.Counted();
    for (int round = 0; round < 2; ++round) {
        sel->FromString("A");
        EXPECT_EQ(Value(nodes, "Level"), 3);
        sel->FromString("B");
        EXPECT_EQ(Value(nodes, "Level"), 5);
    }
    return camera.Counted() - before;
}

}  // namespace

// The camera halves "Binned" whenever Width is written, and says so nowhere in its description:
// the pass that wrote Width invalidates, so the read-back (and the stored file) hold the
// camera's value.
TEST_F(GenicamBed, AValueTheCameraChangesAfterAWriteIsWhatTheOpenReadsBack) {
    auto camera =
        Serve(Minimal("<pFeature>Binned</pFeature>", IntegerFeature("Binned", "0x2000", "RO")));
    camera->OnWrite(
        0x1000, [](GenicamMemoryCamera& self) { self.Poke32(0x2000, self.Peek32(0x1000) / 2); });
    WriteFile(mHost.File("Ostravelk.ini"), "[Port.0.0]\n$Camera=Minimal (MEM01)\nWidth=40\n");
    Camera* opened = OpenThroughExports();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(camera->Peek32(0x1000), 40u);
    auto* binned = dynamic_cast<Param<int64_t>*>(opened->mParameters.Find("Binned"));
    ASSERT_NE(binned, nullptr);
    EXPECT_EQ(binned->mValue, 20);
    EXPECT_EQ(mLog.Count("Apply Parameters: Success"), 1u);
    EXPECT_EQ(Lines(ErrorLines()), "");
}

// NoCache registers are read each time they are asked for; the others once, until written or
// invalidated.
TEST_F(GenicamBed, NoCacheRegistersAreReadEachTimeTheOthersOnce) {
    auto camera =
        Serve(Minimal("<pFeature>Status</pFeature><pFeature>Setting</pFeature>",
                      IntegerFeature("Status", "0x2010", "RO", "<Cachable>NoCache</Cachable>") +
                          IntegerFeature("Setting", "0x2014", "RW")));
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    camera->Poke32(0x2014, 7);
    nodes.InvalidateNodes();
    EXPECT_EQ(Value(nodes, "Setting"), 7);
    const auto before = camera->Counted();
    for (uint32_t status = 1; status <= 3; ++status) {
        camera->Poke32(0x2010, status);
        EXPECT_EQ(Value(nodes, "Status"), status);
        EXPECT_EQ(Value(nodes, "Setting"), 7);
    }
    EXPECT_EQ((camera->Counted() - before).reads, 3);
    camera->Poke32(0x2014, 9);  // behind the node map's back
    EXPECT_EQ(Value(nodes, "Setting"), 7);
    nodes.InvalidateNodes();
    EXPECT_EQ(Value(nodes, "Setting"), 9);
}

// Going through a selector's entries a second time (as the apply passes and the read-back do
// after the walk) costs nothing while nothing else is written; a write is made at the entry it
// was meant for, and the camera stands where the node map says once it is talked to again.
TEST_F(GenicamBed, GoingThroughASelectorsEntriesAgainCostsNoTransaction) {
    auto camera = Serve(Minimal(kSelectorFeatures, kSelectorNodes));
    MultiplexLevel(*camera, 3, 5);
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    IEnumeration* sel = As<IEnumeration>(nodes.GetNode("Sel"));
    sel->FromString("A");
    EXPECT_EQ(Value(nodes, "Level"), 3);
    sel->FromString("B");
    EXPECT_EQ(Value(nodes, "Level"), 5);
    EXPECT_EQ(GoThroughTwice(*camera, nodes).Count(), 0);

    sel->FromString("A");
    As<IInteger>(nodes.GetNode("Level"))->SetValue(8);
    EXPECT_EQ(camera->Peek32(0x2020), 0u);
    sel->FromString("B");
    EXPECT_EQ(Value(nodes, "Level"), 5);
    EXPECT_EQ(camera->Peek32(0x2020), 1u);
    sel->FromString("A");
    EXPECT_EQ(Value(nodes, "Level"), 8);
}

// A camera that refuses a read of several registers at once is read register by register.
TEST_F(GenicamBed, ACameraThatRefusesBlockReadsIsReadRegisterByRegister) {
    auto camera = Serve(Minimal(
        "<pFeature>First</pFeature><pFeature>Second</pFeature>",
        IntegerFeature("First", "0x2030", "RO") + IntegerFeature("Second", "0x2034", "RO")));
    camera->Poke32(0x2030, 11);
    camera->Poke32(0x2034, 12);
    camera->RefuseReadsLongerThan(4);
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    nodes.InvalidateNodes();
    EXPECT_EQ(Value(nodes, "First"), 11);
    EXPECT_EQ(Value(nodes, "Second"), 12);
    const auto before = camera->Counted();
    EXPECT_EQ(Value(nodes, "First"), 11);
    EXPECT_EQ((camera->Counted() - before).Count(), 0);
}

// One look at the camera (a pass over every feature) reads a NoCache register once however many
// features use it, and again after a write or in the next look.
TEST_F(GenicamBed, ASnapshotReadsANoCacheRegisterOnceUntilSomethingIsWritten) {
    const std::string status =
        "<IntReg Name=\"StatusReg\" "
        "NameSpace=\"Custom\"><Address>0x2040</Address><Length>4</Length>"
        "<AccessMode>RO</AccessMode><pPort>Device</pPort><Cachable>NoCache</Cachable>"
        "<Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>";
    const std::string uses =
        "<Integer Name=\"Low\" NameSpace=\"Custom\"><pValue>StatusReg</pValue>"
        "</Integer><Integer Name=\"High\" NameSpace=\"Custom\"><pValue>"
        "StatusReg</pValue></Integer>";
    auto camera = Serve(
        Minimal("<pFeature>Low</pFeature><pFeature>High</pFeature><pFeature>Setting</pFeature>",
                status + uses + IntegerFeature("Setting", "0x2044", "RW")));
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    camera->Poke32(0x2040, 1);
    EXPECT_EQ(Value(nodes, "Setting"), 0);
    auto before = camera->Counted();
    {
        const NodeMapSnapshot snapshot(nodes);
        EXPECT_EQ(Value(nodes, "Low"), 1);
        camera->Poke32(0x2040, 2);
        EXPECT_EQ(Value(nodes, "High"), 1);
        EXPECT_EQ((camera->Counted() - before).reads, 1);
        As<IInteger>(nodes.GetNode("Setting"))->SetValue(4);
        EXPECT_EQ(Value(nodes, "High"), 2);
        EXPECT_EQ((camera->Counted() - before).reads, 3);  // with the write's verify read
    }
    camera->Poke32(0x2040, 3);
    before = camera->Counted();
    EXPECT_EQ(Value(nodes, "Low"), 3);
    EXPECT_EQ(Value(nodes, "High"), 3);
    EXPECT_GE((camera->Counted() - before).reads, 2);
}

// Registers whose address is computed (behind a base address the camera gives) are read together
// in one transaction like registers at fixed addresses, and one by one when the camera refuses.
TEST_F(GenicamBed, RegistersBehindABaseAddressAreReadInOneBlock) {
    std::string nodes;
    std::string features;
    for (const char* name : {"First", "Second", "Third"}) {
        const std::string offset = std::string(name) == "First"    ? "0x0"
                                   : std::string(name) == "Second" ? "0x4"
                                                                   : "0x10";
        features += std::string("<pFeature>") + name + "</pFeature>";
        nodes += IntegerFeature(name, offset, "RO", "<pAddress>Base</pAddress>");
    }
    nodes += IntegerFeature("Base", "0x2050", "RO");
    for (const bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "refused" : "block");
        auto camera = Serve(Minimal(features, nodes));
        camera->Poke32(0x2050, 0x3000);
        for (uint32_t i = 0; i < 5; ++i) {
            camera->Poke32(0x3000 + 4 * i, 20 + i);
        }
        if (refuse) {
            camera->RefuseReadsLongerThan(4);
        }
        auto device = OpenCamera();
        INodeMap& map = device->GetNodeMap();
        EXPECT_EQ(Value(map, "First"), 20);  // finds the addresses
        map.InvalidateNodes();
        const auto before = camera->Counted();
        EXPECT_EQ(Value(map, "First"), 20);
        EXPECT_EQ(Value(map, "Second"), 21);
        EXPECT_EQ(Value(map, "Third"), 24);
        EXPECT_EQ(Value(map, "First"), 20);
        // Base and the block; refused (which the bed does not count): Base and each register.
        EXPECT_EQ((camera->Counted() - before).reads, refuse ? 4 : 2);
        device.reset();
        mSource->Remove("MEM01");
    }
}

// Bit fields of one register: a selector's value beside another feature's bits, the register
// at an address computed from a base the camera gives, or at a fixed address beside a command
// that loads every setting. A move writes the selector's bits only: what the command makes
// unknown (and every other value) stays known until the command is executed.
TEST_F(GenicamBed, ASelectorSharingItsRegisterWithOtherBitsStillOnlyMoves) {
    const auto masked = [](const std::string& name, const std::string& where, int lsb, int msb,
                           const std::string& extra = "") {
        return "<MaskedIntReg Name=\"" + name + "\" NameSpace=\"Custom\">" + where +
               "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>" + extra +
               "<LSB>" + std::to_string(lsb) + "</LSB><MSB>" + std::to_string(msb) +
               "</MSB><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></MaskedIntReg>";
    };
    const std::string computed = "<Address>0x0</Address><pAddress>Base</pAddress>";
    const std::string fixed = "<Address>0x2070</Address>";
    for (const std::string& where : {computed, fixed}) {
        SCOPED_TRACE(where);
        const std::string nodes =
            "<Enumeration Name=\"Sel\" NameSpace=\"Custom\"><EnumEntry Name=\"A\"><Value>0</Value>"
            "</EnumEntry><EnumEntry Name=\"B\"><Value>1</Value></EnumEntry><pValue>SelBits</pValue>"
            "<pSelected>Level</pSelected></Enumeration>" +
            masked("SelBits", where, 0, 7) + masked("FlagBits", where, 8, 15) +
            masked("LoadBit", where, 31, 31, "<Cachable>NoCache</Cachable>") +
            "<Integer Name=\"Flag\" NameSpace=\"Custom\"><pValue>FlagBits</pValue></Integer>"
            "<Command Name=\"Load\" NameSpace=\"Custom\"><pValue>LoadBit</pValue>"
            "<CommandValue>1</CommandValue></Command>" +
            IntegerFeature("Level", "0x2064", "RW", "<pInvalidator>SelBits</pInvalidator>") +
            IntegerFeature("Loaded", "0x2200", "RO", "<pInvalidator>LoadBit</pInvalidator>") +
            IntegerFeature("Base", "0x2060", "RO");
        auto camera =
            Serve(Minimal("<pFeature>Sel</pFeature><pFeature>Level</pFeature>"
                          "<pFeature>Flag</pFeature><pFeature>Loaded</pFeature>"
                          "<pFeature>Load</pFeature>",
                          nodes));
        camera->Poke32(0x2060, 0x3000);
        camera->Poke32(0x2200, 6);
        auto device = OpenCamera();
        INodeMap& map = device->GetNodeMap();
        IEnumeration* sel = As<IEnumeration>(map.GetNode("Sel"));
        EXPECT_EQ(Value(map, "Loaded"), 6);
        EXPECT_EQ(Value(map, "Flag"), 0);
        camera->Poke32(0x2200, 7);  // behind the node map's back: seen only when read again
        for (const char* entry : {"B", "A", "B"}) {
            sel->FromString(entry);
            EXPECT_EQ(Value(map, "Level"), 0);
            EXPECT_EQ(Value(map, "Loaded"), 6);
            EXPECT_EQ(Value(map, "Flag"), 0);
        }
        As<ICommand>(map.GetNode("Load"))->Execute();
        EXPECT_EQ(Value(map, "Loaded"), 7);
        device.reset();
        mSource->Remove("MEM01");
    }
}

// Within one look, a NoCache register the camera serves per selector entry is read once at each
// entry however often the look comes back to it; outside a look, each time.
TEST_F(GenicamBed, ASnapshotReadsANoCacheRegisterOnceAtEachSelectorEntry) {
    auto camera = Serve(Minimal(
        "<pFeature>Sel</pFeature><pFeature>Level</pFeature>",
        std::string(kSelectorNodes)
            .replace(kSelectorNodes.find("<pInvalidator>"), 0, "<Cachable>NoCache</Cachable>")));
    MultiplexLevel(*camera, 3, 5);
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    EXPECT_EQ(GoThroughTwice(*camera, nodes).reads, 4);
    const NodeMapSnapshot snapshot(nodes);
    EXPECT_EQ(GoThroughTwice(*camera, nodes).reads, 2);
}

// Every open sets the heartbeat time-out the host configured; the device holds what the open
// wrote, and writing the same value again would only make the node map read the camera again.
TEST_F(GenicamBed, TheHeartbeatTheDeviceHoldsIsNotWrittenAgain) {
    auto camera = Serve(Minimal("", ""));
    auto device = OpenCamera();
    IInteger* heartbeat = As<IInteger>(device->GetTLNodeMap().GetNode("HeartbeatTimeout"));
    ASSERT_NE(heartbeat, nullptr);
    auto before = camera->Counted();
    heartbeat->SetValue(heartbeat->GetValue());
    EXPECT_EQ((camera->Counted() - before).writes, 0);
    heartbeat->SetValue(4000);
    EXPECT_EQ((camera->Counted() - before).writes, 1);
}

// Within one look a NoCache register that no selector selects is read once however the
// selectors move, while a selector's own register, shared with NoCache bits, reads as moved.
TEST_F(GenicamBed, ASnapshotKeepsWhatNoMoveChanges) {
    const std::string shared =
        "<Enumeration Name=\"Mode\" NameSpace=\"Custom\"><EnumEntry Name=\"X\"><Value>0</Value>"
        "</EnumEntry><EnumEntry Name=\"Y\"><Value>1</Value></EnumEntry><pValue>ModeBits</pValue>"
        "<pSelected>Level</pSelected></Enumeration>"
        "<MaskedIntReg Name=\"ModeBits\" NameSpace=\"Custom\"><Address>0x2080</Address>"
        "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
        "<Cachable>NoCache</Cachable><LSB>0</LSB><MSB>7</MSB><Sign>Unsigned</Sign>"
        "<Endianess>LittleEndian</Endianess></MaskedIntReg>";
    auto camera = Serve(Minimal(
        std::string(kSelectorFeatures) + "<pFeature>Status</pFeature><pFeature>Mode</pFeature>",
        kSelectorNodes + shared +
            IntegerFeature("Status", "0x2200", "RO", "<Cachable>NoCache</Cachable>")));
    MultiplexLevel(*camera, 3, 5);
    camera->Poke32(0x2200, 1);
    auto device = OpenCamera();
    INodeMap& nodes = device->GetNodeMap();
    IEnumeration* mode = As<IEnumeration>(nodes.GetNode("Mode"));
    const NodeMapSnapshot snapshot(nodes);
    EXPECT_EQ(Value(nodes, "Status"), 1);
    camera->Poke32(0x2200, 2);  // the look has seen it: not read again within it
    GoThroughTwice(*camera, nodes);
    for (const char* entry : {"Y", "X", "Y"}) {
        mode->FromString(entry);
        EXPECT_EQ(mode->ToString(), entry);
        EXPECT_EQ(Value(nodes, "Status"), 1);
    }
}

// A selector whose entries the camera keeps at addresses computed from the entry (pIndex): going
// through the entries reads them without moving the camera, and moving back to where it stands
// writes nothing; a write at an entry moves the camera there first.
TEST_F(GenicamBed, IndexedEntriesAreReadWithoutMovingTheCamera) {
    const std::string nodes =
        "<Enumeration Name=\"Sel\" NameSpace=\"Custom\"><EnumEntry Name=\"A\"><Value>0</Value>"
        "</EnumEntry><EnumEntry Name=\"B\"><Value>1</Value></EnumEntry><EnumEntry Name=\"C\">"
        "<Value>2</Value></EnumEntry><pValue>SelReg</pValue><pSelected>Level</pSelected>"
        "</Enumeration>"
        "<IntReg Name=\"SelReg\" NameSpace=\"Custom\"><Address>0x2020</Address><Length>4</Length>"
        "<AccessMode>RW</AccessMode><pPort>Device</pPort><Sign>Unsigned</Sign>"
        "<Endianess>BigEndian</Endianess></IntReg>" +
        IntegerFeature("Level", "0x2100", "RW", "<pIndex Offset=\"4\">SelReg</pIndex>");
    auto camera = Serve(Minimal(kSelectorFeatures, nodes));
    for (uint32_t entry = 0; entry < 3; ++entry) {
        camera->Poke32(0x2100 + 4 * entry, 3 + entry);
    }
    auto device = OpenCamera();
    INodeMap& map = device->GetNodeMap();
    IEnumeration* sel = As<IEnumeration>(map.GetNode("Sel"));
    EXPECT_EQ(Value(map, "Level"), 3);
    const auto before = camera->Counted();
    for (const char* entry : {"B", "C", "A"}) {
        sel->FromString(entry);
        EXPECT_EQ(Value(map, "Level"), 3 + sel->GetIntValue());
    }
    EXPECT_EQ((camera->Counted() - before).writes, 0);
    sel->FromString("C");
    As<IInteger>(map.GetNode("Level"))->SetValue(9);
    EXPECT_EQ(camera->Peek32(0x2020), 2u);
    EXPECT_EQ(camera->Peek32(0x2108), 9u);
}

// Real cameras' files: the open and a second open cost at most a small multiple of reading
// every value once (each open walks every selector entry, applies and reads back).
TEST_F(GenicamBed, RealFilesOpenInAFewTimesTheTransactionsOfReadingEveryValueOnce) {
    for (const char* file :
         {"AVT_Mako_G125B.xml", "Basler-acA1300-60gm.xml", "FLIR_BFS_PGE_88S6M.xml"}) {
        SCOPED_TRACE(file);
        std::shared_ptr<GenicamMemoryCamera> camera = Serve(RealFile(file));
        const int64_t reference = camera->CountReadingEveryValueOnce();
        ASSERT_GT(reference, 0);
        const auto before = camera->Counted();
        ASSERT_NE(OpenThroughExports(), nullptr);
        const auto first = camera->Counted() - before;
        closeCVLPort(0, 0);
        int size[2] = {0, 0};
        ASSERT_EQ(openCVLPort(0, 0, getCVLCameraConfigNames()[0], size), 1);
        const auto second = camera->Counted() - before - first;
        EXPECT_LE(first.Count(), 3 * reference);
        EXPECT_LE(second.Count(), 3 * reference);
        finalize();
        mInitialized = false;
        mSource->Remove("MEM01");
    }
}
