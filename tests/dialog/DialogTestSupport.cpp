#include "DialogTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "camera/ConfigurationTarget.h"
#include "camera/DialogModule.h"
#include "dialog/CPropertyGrid.h"
#include "dialog/ConfigurationDialog.h"
#include "dialog/GuiApplication.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

// The dialog is linked into these tests, so that they reach its widgets: configureCamera runs it
// from here instead of loading the module.
int RunLinkedInDialog(const DialogModuleImports*, void* parent, ConfigurationTarget* target) {
    return RunConfigurationDialog(parent, *target) ? 1 : 0;
}
[[maybe_unused]] const bool gDialogLinkedIn = (DialogModule::UseLinkedIn(&RunLinkedInDialog), true);

}  // namespace

void RequireGui() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (QCoreApplication::instance() == nullptr && (platform == nullptr || *platform == '\0')) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::string error;
    ASSERT_TRUE(GuiApplication::Ensure(error)) << "no Qt application: " << error;
    ASSERT_FALSE(QFontDatabase::families().isEmpty())
        << "no font resolves: Qt found no font families (install fonts-dejavu-core, or point "
           "QT_QPA_FONTDIR at a directory with TrueType fonts)";
    const QFontMetrics metrics(QApplication::font());
    ASSERT_GT(metrics.height(), 0)
        << "no font resolves: the application font '"
        << QFontInfo(QApplication::font()).family().toStdString() << "' has no height";
    ASSERT_GT(metrics.horizontalAdvance(QStringLiteral("Gg")), 0)
        << "no font resolves: the application font draws no glyphs";
}

void ShowActive(QWidget& widget) {
    widget.show();
    widget.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget)) << "window did not become active";
}

void Click(CPropertyGrid& grid, QPoint point) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

void DoubleClick(CPropertyGrid& grid, QPoint point) {
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

QPoint NamePoint(const CPropertyGrid& grid, int item) {
    const QRect row = grid.GetItemRect(item);
    return QPoint((18 + grid.GetSplitter()) / 2, row.center().y());
}

QPoint ValuePoint(const CPropertyGrid& grid, int item) {
    const QRect value = grid.GetValueRect(item);
    return QPoint(value.left() + 10, value.center().y());
}

std::string ScreenshotDir() {
    const std::string dir = std::string(OSTRAVELK_BINARY_DIR) + "/screenshots";
    std::filesystem::create_directories(dir);
    return dir;
}

std::unique_ptr<CameraParameters> MakeCameraParameters(const std::string& cameraName) {
    auto set = std::make_unique<CameraParameters>(nullptr, cameraName);
    set->AddParameter_(std::make_unique<Param<int64_t>>("AOI", "Width", 640, 16, 1280, 16));
    set->AddParameter_(std::make_unique<Param<int64_t>>("AOI", "Height", 480, 16, 960, 16));
    auto offset = std::make_unique<Param<int64_t>>("AOI", "OffsetX", 0, 0, 640, 16);
    offset->mWritable = false;
    set->AddParameter_(std::move(offset));

    auto format = std::make_unique<ParamEnum>("Acquisition", "PixelFormat", "");
    format->AddEntry("Mono8", 0x01080001);
    format->AddEntry("Mono12", 0x01100005);
    format->AddEntry("RGB8", 0x02180014);
    set->AddParameter_(std::move(format));
    auto exposure =
        std::make_unique<Param<double>>("Acquisition", "ExposureTimeAbs", 5000.0, 35.0, 1e6, 0.0);
    exposure->SetOption("DisplayName", sdk::gcstring("Exposure Time (Abs) [us]"));
    exposure->mDescription = "Exposure time of the camera in microseconds.";
    set->AddParameter_(std::move(exposure));
    set->AddParameter_(
        std::make_unique<Param<bool>>("Acquisition", "ReverseX", false, false, true, false));
    auto id = std::make_unique<Param<int64_t>>("Acquisition", "DeviceID", 255, 0, 4095, 1);
    id->SetOption("Format", sdk::gcstring("%X"));
    set->AddParameter_(std::move(id));

    set->AddParameter_(
        std::make_unique<Param<std::string>>("DeviceInformation", "DeviceUserID", "cam-1"));
    auto secret = std::make_unique<Param<int64_t>>("Hidden", "SecretRegister", 7, 0, 10, 1);
    secret->mVisible = false;
    set->AddParameter_(std::move(secret));
    set->CreateCollapseStatus();
    return set;
}

FakeTarget::FakeTarget(int port, std::string name)
    : mPort(port),
      mName(std::move(name)),
      mWorking(MakeCameraParameters(mName)),
      mBackup(MakeCameraParameters(mName)) {
    for (const Param_& parameter : *mWorking) {
        if (!parameter.mGeneral) {
            mDevice[parameter.mName] = parameter.GetValueText();
        }
    }
}

void FakeTarget::SetConfiguring(bool configuring) {
    mConfiguring = configuring;
    mCalls.push_back(configuring ? "SetConfiguring(1)" : "SetConfiguring(0)");
}

void FakeTarget::StopGrabbing() {
    mGrabbing = false;
    mCalls.push_back("StopGrabbing");
}

void FakeTarget::StartGrabbing() {
    mGrabbing = true;
    mCalls.push_back("StartGrabbing");
}

void FakeTarget::WriteToDevice(const Param_& parameter) {
    if (parameter.mGeneral || !parameter.mWritable) {
        return;
    }
    auto coerced = mCoercion.find(parameter.mName);
    mDevice[parameter.mName] =
        coerced != mCoercion.end() ? coerced->second : parameter.GetValueText();
}

void FakeTarget::ApplyToCamera(const std::vector<std::string>& names) {
    mCalls.push_back("ApplyToCamera");
    mAppliedNames.push_back(names);
    for (const std::string& name : names) {
        if (const Param_* parameter = mWorking->Find(name)) {
            WriteToDevice(*parameter);
        }
    }
}

bool FakeTarget::ApplyAllToCamera(int maxPasses) {
    mCalls.push_back("ApplyAllToCamera");
    mApplyAllPasses.push_back(maxPasses);
    for (const Param_& parameter : *mWorking) {
        WriteToDevice(parameter);
    }
    return true;
}

void FakeTarget::RefreshFromCamera() {
    mCalls.push_back("RefreshFromCamera");
    for (Param_& parameter : *mWorking) {
        auto value = mDevice.find(parameter.mName);
        if (!parameter.mGeneral && value != mDevice.end()) {
            parameter.SetFromText(value->second);
        }
    }
}

bool FakeTarget::Validate(const CameraParameters& parameters, std::string& message) {
    for (const Param_& parameter : parameters) {
        const bool number = dynamic_cast<const Param<int>*>(&parameter) != nullptr ||
                            dynamic_cast<const Param<int64_t>*>(&parameter) != nullptr ||
                            dynamic_cast<const Param<double>*>(&parameter) != nullptr;
        if (parameter.mWritable && number && !parameter.IsInRange()) {
            // As the camera's own validation writes it.
            message = parameter.mCategory + ": " + parameter.mName + ": out of range " +
                      parameter.ShownRange();
            return false;
        }
    }
    return true;
}

bool FakeTarget::Save(std::string& error) {
    mCalls.push_back("Save");
    if (!mSaveError.empty()) {
        error = mSaveError;
        return false;
    }
    mSaved.clear();
    for (const Param_& parameter : *mWorking) {
        mSaved[parameter.mName] = parameter.GetValueText();
    }
    return true;
}

void FakeTarget::ApplyDriverSettings() {
    mCalls.push_back("ApplyDriverSettings");
}
