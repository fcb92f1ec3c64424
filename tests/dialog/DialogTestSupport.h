#pragma once

#include <QPoint>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/NoCaseLess.h"
#include "camera/ConfigurationTarget.h"
#include "parameters/CameraParameters.h"

class CPropertyGrid;

// Makes sure a QApplication exists (through the driver, with QT_QPA_PLATFORM=offscreen unless the
// environment names a platform) and that a font resolves. Use as
// ASSERT_NO_FATAL_FAILURE(RequireGui()).
void RequireGui();

// Shows a top-level widget and waits until its window is active, so that focus changes deliver
// focus events as with a real user.
void ShowActive(QWidget& widget);

// Real mouse input on the grid's viewport.
void Click(CPropertyGrid& grid, QPoint point);
// Press, release, double-click, release: what a user's double-click delivers.
void DoubleClick(CPropertyGrid& grid, QPoint point);
// The middle of an item's name cell and value cell.
QPoint NamePoint(const CPropertyGrid& grid, int item);
QPoint ValuePoint(const CPropertyGrid& grid, int item);

// Directory for screenshots below the build tree, created on demand.
std::string ScreenshotDir();

// A parameter set as a camera's working set looks after open: the seven driver settings, camera
// features of several types in three categories, one invisible feature in a fourth, and the
// collapse flags.
//   AOI:               Width (int64 640 [16..1280]), Height (int64 480 [16..960]),
//                      OffsetX (int64 0, read-only)
//   Acquisition:       PixelFormat (enum Mono8/Mono12/RGB8), ExposureTimeAbs (double 5000
//                      [35..1e6], "DisplayName", description), ReverseX (bool), DeviceID (int64
//                      255, "Format" "%X")
//   DeviceInformation: DeviceUserID (text "cam-1")
//   Hidden:            SecretRegister (int64, not visible)
std::unique_ptr<CameraParameters> MakeCameraParameters(const std::string& cameraName);

// A camera for the dialog: holds the two sets and a map standing for the device's values. Writes
// copy value texts into the map (camera parameters only), refreshes copy them back, and every call
// is recorded.
class FakeTarget : public ConfigurationTarget {
  public:
    explicit FakeTarget(int port = 2, std::string name = "Model (4711)");

    int GetPort() const override { return mPort; }
    std::string GetFriendlyName() const override { return mName; }
    CameraParameters& GetParameters() override { return *mWorking; }
    CameraParameters& GetBackupParameters() override { return *mBackup; }
    void SetConfiguring(bool configuring) override;
    bool IsGrabbing() override { return mGrabbing; }
    void StopGrabbing() override;
    void StartGrabbing() override;
    bool IsContinuousGrab() const override { return mContinuous; }
    void ApplyToCamera(const std::vector<std::string>& names) override;
    bool ApplyAllToCamera(int maxPasses) override;
    void RefreshFromCamera() override;
    bool Validate(const CameraParameters& parameters, std::string& message) override;
    bool Save(std::string& error) override;
    void ApplyDriverSettings() override;

    // Writes the working value of one camera parameter into the device map, with coercion.
    void WriteToDevice(const Param_& parameter);

    int mPort;
    std::string mName;
    std::unique_ptr<CameraParameters> mWorking;
    std::unique_ptr<CameraParameters> mBackup;
    std::map<std::string, std::string, NoCaseLess> mDevice;    // device values as text
    std::map<std::string, std::string, NoCaseLess> mCoercion;  // name -> value the device keeps
    std::vector<std::vector<std::string>> mAppliedNames;
    std::vector<std::string> mCalls;  // every call in order
    std::vector<int> mApplyAllPasses;
    bool mConfiguring = false;
    bool mGrabbing = false;
    bool mContinuous = false;
    // Text of a failing Save; empty: Save succeeds.
    std::string mSaveError;
    // Values of the working set at the moment Save was called.
    std::map<std::string, std::string, NoCaseLess> mSaved;
};
