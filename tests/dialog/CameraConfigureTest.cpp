#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "DialogTestSupport.h"
#include "TestSupport.h"
#include "base/DriverState.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "dialog/CPropertyGeneral.h"
#include "dialog/CPropertyGrid.h"
#include "dialog/CSheet1.h"
#include "ini/IniFileStore.h"
#include "ostravelk/ostravelk.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/InstantCamera.h"

// configureCamera end to end on a simulated camera that is open and grabbing continuously.
namespace {

class CameraConfigure : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RequireGui());
        WriteFile(sim.IniPath(), std::string("[Port.0.0]\n$Camera=") + SimCameras::kGigE +
                                     "\n[General]\nLogLevel=2\n");
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
        ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        camera = CameraList::Instance().GetByPort_(0);
        originalWidth = DeviceWidth();
    }
    void TearDown() override { finalize(); }

    int64_t DeviceWidth() {
        auto* node = sdk::As<sdk::IInteger>(camera->mInstantCamera->GetNodeMap().GetNode("Width"));
        return node->GetValue();
    }

    // Runs configureCamera; actions run inside the dialog's modal loop and must close it.
    int Configure(std::function<void(CSheet1&, CPropertyGeneral&)> actions) {
        QTimer::singleShot(0, [actions] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* sheet = qobject_cast<CSheet1*>(widget); sheet && sheet->isVisible()) {
                    actions(*sheet, *sheet->findChild<CPropertyGeneral*>());
                    if (sheet->isVisible()) {
                        ADD_FAILURE() << "the actions left the sheet open";
                        sheet->reject();
                    }
                    return;
                }
            }
            ADD_FAILURE() << "no sheet open";
        });
        return configureCamera(nullptr, SimCameras::kGigE);
    }

    // Sets Width in the grid as an edit of the user would.
    void EditWidth(CPropertyGeneral& page, int64_t width) {
        int item = page.ItemOf(camera->mParameters.Find("Width"));
        ASSERT_GE(item, 0);
        ASSERT_TRUE(page.Grid()->SetItemValue(item, width));
        page.OnItemChanged(item);
    }

    SimCameras sim;
    LogCapture log;
    Camera* camera = nullptr;
    int64_t originalWidth = 0;
};

}  // namespace

TEST_F(CameraConfigure, ApplyAndOkWriteTheCameraAndSaveTheFile) {
    int grabDuring = -1;
    const int result = Configure([&](CSheet1& sheet, CPropertyGeneral& page) {
        EXPECT_TRUE(camera->mConfiguring);
        EXPECT_FALSE(camera->mInstantCamera->IsGrabbing()) << "acquisition stops for the dialog";
        grabDuring = doCVLGrab(0, 0);
        setProperty(0, 0, "continuous", 1);
        EditWidth(page, 640);
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_EQ(DeviceWidth(), 640) << "Apply writes the edited parameter";
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(grabDuring, 1);
    EXPECT_TRUE(log.Contains("port0: ERR: Grab ignored: configure dialog open, Camera::Grab"));
    EXPECT_TRUE(log.Contains("port0: ERR: SetContinous ignored: configure dialog open"));
    EXPECT_FALSE(camera->mConfiguring);
    EXPECT_EQ(DeviceWidth(), 640);
    EXPECT_EQ(IniFileStore::GetProfileString(sim.IniPath(), "Port.0.0", "Width", ""), "640");
    EXPECT_EQ(IniFileStore::GetProfileString(sim.IniPath(), "General", "LogLevel", ""), "2");
    EXPECT_TRUE(log.Contains(std::string("port99: Info: configureCamera leaving: ") +
                             SimCameras::kGigE + ", configureCamera"));
}

TEST_F(CameraConfigure, CancelRestoresTheCameraEvenAfterApply) {
    const int result = Configure([&](CSheet1& sheet, CPropertyGeneral& page) {
        EditWidth(page, 512);
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_EQ(DeviceWidth(), 512);
        QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(DeviceWidth(), originalWidth);
    EXPECT_TRUE(camera->mInstantCamera->IsGrabbing()) << "continuous grabbing resumes";
    EXPECT_EQ(IniFileStore::GetProfileString(sim.IniPath(), "Port.0.0", "Width", "none"), "none");
}

TEST_F(CameraConfigure, AFailedSaveKeepsTheDialogOpenAndCancelStillUndoes) {
    const std::string gone = sim.HostDir() + ".gone";
    ASSERT_EQ(std::rename(sim.HostDir().c_str(), gone.c_str()), 0);  // the host directory goes
    bool openAfterOk = false;
    std::string status;
    const int result = Configure([&](CSheet1& sheet, CPropertyGeneral& page) {
        EditWidth(page, 640);
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        openAfterOk = sheet.isVisible();
        status = sheet.StatusText().toStdString();
        QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    });
    ASSERT_EQ(std::rename(gone.c_str(), sim.HostDir().c_str()), 0);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(openAfterOk) << "a failed save must not close the dialog";
    EXPECT_EQ(status.rfind("Parameter save failed: " + sim.IniPath() + ": ", 0), 0u) << status;
    EXPECT_EQ(DeviceWidth(), originalWidth);
    EXPECT_TRUE(log.Contains("Error: Parameter save failed, file " + sim.IniPath()));
    EXPECT_EQ(IniFileStore::GetProfileString(sim.IniPath(), "Port.0.0", "Width", "none"), "none");
}

TEST_F(CameraConfigure, AHostThatClosesTheDialogAfterAFailedSaveGetsZero) {
    ASSERT_EQ(std::remove(sim.IniPath().c_str()), 0);
    ASSERT_EQ(mkdir(sim.IniPath().c_str(), 0755), 0);  // no file can be written there
    bool openAfterOk = false;
    const int result = Configure([&](CSheet1& sheet, CPropertyGeneral& page) {
        EditWidth(page, 640);
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        openAfterOk = sheet.isVisible();
        sheet.close();
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(DeviceWidth(), originalWidth);
    ASSERT_EQ(rmdir(sim.IniPath().c_str()), 0);
}

TEST_F(CameraConfigure, OkResumesContinuousGrabbingAsCancelDoes) {
    const int result = Configure([&](CSheet1& sheet, CPropertyGeneral&) {
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(camera->mInstantCamera->IsGrabbing()) << "continuous grabbing resumes";
    ResetCompletionCount();
    ASSERT_EQ(setCompleteCallback(0, 0, CountCompletion), 1);
    for (int i = 0; i < 500 && CompletionCount() < 3; ++i) {
        QTest::qWait(10);
    }
    EXPECT_GE(CompletionCount(), 3) << "frames arrive without a grab of the host";
}

TEST_F(CameraConfigure, AClosedCameraGetsNoDialog) {
    closeCVLPort(0, 0);
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* sheet = qobject_cast<CSheet1*>(widget); sheet && sheet->isVisible()) {
                shown = true;
                sheet->reject();
            }
        }
    });
    EXPECT_EQ(configureCamera(nullptr, SimCameras::kGigE), 0);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(
        log.Contains("port99: ERR: configureCamera std Exception: Camera::Configure: "
                     "camera is not open, configureCamera"));
    QTest::qWait(20);  // the timer finds no sheet
    EXPECT_FALSE(shown);
}
