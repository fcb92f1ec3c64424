#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"

// Every export called in every state of a camera bound to port 4: the documented result, and
// never a crash.
namespace {

enum State { Created, BoundClosed, Open, Lost };

struct Expectation {
    const char* call;
    std::function<int()> run;
    int results[4];  // Created, BoundClosed, Open, Lost
};

constexpr int kPort = 4;
void OnComplete(int, int) {}

std::vector<Expectation> Expectations() {
    static int size[2], value, min, max;
    static unsigned char row[8 * 3];
    static char text[32];
    const char* name = SimCameras::kUsb;
    return {
        {"getCVLMaxNoOfGrabbers", [] { return getCVLMaxNoOfGrabbers(); }, {1, 1, 1, 1}},
        {"getCVLMaxNoOfPorts", [] { return getCVLMaxNoOfPorts(); }, {20, 20, 20, 20}},
        {"getCVLNoOfSupportedCameras", [] { return getCVLNoOfSupportedCameras(); }, {2, 2, 2, 2}},
        {"getCVLCameraConfigNames",
         [] { return getCVLCameraConfigNames()[1] != nullptr ? 1 : 0; },
         {1, 1, 1, 1}},
        {"setCompleteCallback",
         [] { return setCompleteCallback(0, kPort, OnComplete); },
         {1, 1, 1, 1}},
        {"getCVLGrabRow", [] { return getCVLGrabRow(0, kPort, row, 0, 0, 7); }, {0, 0, 1, 0}},
        {"getCVLGrabRow bad columns",
         [] { return getCVLGrabRow(0, kPort, row, 0, 5, 2); },
         {0, 0, 0, 0}},
        {"doCVLGrab", [] { return doCVLGrab(0, kPort); }, {0, 0, 1, 0}},
        {"getPropertyRange",
         [] { return getPropertyRange(0, kPort, "Width", &min, &max); },
         {0, 1, 1, 1}},
        {"getProperty", [] { return getProperty(0, kPort, "Width", &value); }, {0, 1, 1, 1}},
        {"getProperty special",
         [] { return getProperty(0, kPort, "FrameCount", &value); },
         {0, 1, 1, 1}},
        {"setProperty", [] { return setProperty(0, kPort, "Width", 640); }, {0, 0, 1, 0}},
        {"execCmd get",
         [] { return execCmd(0, kPort, "get", "Width", text, sizeof text); },
         {0, 1, 1, 1}},
        {"execCmd bad",
         [] { return execCmd(0, kPort, "run", "x", text, sizeof text); },
         {0, 0, 0, 0}},
        {"configureCamera unknown",
         [] { return configureCamera(nullptr, "nobody"); },
         {0, 0, 0, 0}},
        {"closeCVLPort other port",
         [] {
             closeCVLPort(0, 9);
             return 1;
         },
         {1, 1, 1, 1}},
        {"openCVLPort undefined",
         [] { return openCVLPort(0, 9, "Undefined", size); },
         {0, 0, 0, 0}},
        {"openCVLPort", [name] { return openCVLPort(0, kPort, name, size); }, {1, 1, 1, 0}},
    };
}

class CameraStates : public ::testing::Test {
  protected:
    void Enter(State state) {
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        if (state == Created) return;
        int size[2];
        ASSERT_EQ(openCVLPort(0, kPort, SimCameras::kUsb, size), 1);
        if (state == BoundClosed) closeCVLPort(0, kPort);
        if (state == Lost) {
            sim.Unplug("22000002");
            ASSERT_TRUE(log.WaitFor("WARNING: Camera removed: ", 10));
        }
    }

    void CheckAll(State state) {
        for (const Expectation& e : Expectations()) {
            // openCVLPort comes last: it changes the state.
            EXPECT_EQ(e.run(), e.results[state]) << e.call << " in state " << state;
        }
        EXPECT_EQ(finalize(), 1);
        EXPECT_EQ(getCVLNoOfSupportedCameras(), 0) << "no camera list after the last finalize";
    }

    SimCameras sim;
    LogCapture log;
};

}  // namespace

TEST_F(CameraStates, Created) {
    Enter(Created);
    CheckAll(Created);
}

TEST_F(CameraStates, BoundAndClosed) {
    Enter(BoundClosed);
    CheckAll(BoundClosed);
}

TEST_F(CameraStates, Open) {
    Enter(Open);
    CheckAll(Open);
}

TEST_F(CameraStates, Lost) {
    Enter(Lost);
    CheckAll(Lost);
}
