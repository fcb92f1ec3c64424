#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "camera/DialogModule.h"
#include "ostravelk/ostravelk.h"

// configureCamera reaches the configuration dialog through its module, loaded on first use: the
// driver itself has no GUI.
namespace {

class DialogModuleLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        // No display: the dialog, once loaded, says so and shows nothing.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
        GetDriverState().mLogLevel = 2;
        log.Clear();
    }
    void TearDown() override {
        finalize();
        DialogModule::UseModuleFile("");
    }

    SimCameras sim;
    LogCapture log;
};

TEST_F(DialogModuleLoad, MissingModuleFailsWithOneLineAndTheCameraGoesOn) {
    TempDir empty;
    const std::string missing = empty.File("ostravelk/libostravelk-dialog.so");
    DialogModule::UseModuleFile(missing);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(configureCamera(nullptr, SimCameras::kGigE), 0);
        const auto lines = log.Matching("ERR: ");
        ASSERT_EQ(lines.size(), 1u) << "attempt " << attempt;
        EXPECT_NE(lines[0].find("Configure: no configuration dialog: cannot load " + missing +
                                ": cannot open shared object file"),
                  std::string::npos)
            << lines[0];
        EXPECT_NE(lines[0].find("Camera::Configure"), std::string::npos) << lines[0];
        log.Clear();
    }
    EXPECT_EQ(doCVLGrab(0, 0), 1) << "the camera grabs without the dialog";
}

TEST_F(DialogModuleLoad, BuiltModuleRunsTheDialogWithTheDriversLog) {
    DialogModule::UseModuleFile(OSTRAVELK_BINARY_DIR "/ostravelk/libostravelk-dialog.so");
    EXPECT_EQ(configureCamera(nullptr, SimCameras::kGigE), 0);
    // These lines come from the module, through the driver's log.
    EXPECT_EQ(log.Count("Configure entering"), 1u);
    EXPECT_EQ(log.Count("Configure: no display"), 1u);
    EXPECT_EQ(log.Count("Configure leaving"), 1u);
    EXPECT_EQ(log.Count("no configuration dialog"), 0u);
}

}  // namespace
