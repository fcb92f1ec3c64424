#include "dialog/ConfigurationDialog.h"

#include <QWidget>
#include <boost/format.hpp>
#include <memory>
#include <string>

#include "base/DriverState.h"
#include "camera/ConfigurationTarget.h"
#include "dialog/CPropertyGeneral.h"
#include "dialog/CSheet1.h"
#include "dialog/GuiApplication.h"
#include "parameters/CameraParameters.h"

namespace {

const char* const kWhere = "Camera::Configure";
constexpr int kCancelPasses = 5;

// Keeps the camera's configure flag set for the life of the object.
class ConfiguringFlag {
  public:
    explicit ConfiguringFlag(ConfigurationTarget& target) : mTarget(target) {
        mTarget.SetConfiguring(true);
    }
    ~ConfiguringFlag() { mTarget.SetConfiguring(false); }
    ConfiguringFlag(const ConfiguringFlag&) = delete;
    ConfiguringFlag& operator=(const ConfiguringFlag&) = delete;

  private:
    ConfigurationTarget& mTarget;
};

}  // namespace

bool RunConfigurationDialog(void* parent, ConfigurationTarget& target) {
    DriverState& state = GetDriverState();
    const int port = target.GetPort();
    state.LogPort(2, port, "", "Configure entering", kWhere);

    std::string error;
    if (!GuiApplication::Ensure(error)) {
        state.LogPort(1, port, "ERR: ", "Configure: " + error, kWhere);
        state.LogPort(2, port, "", "Configure leaving", kWhere);
        return false;
    }

    ConfiguringFlag configuring(target);
    const bool wasGrabbing = target.IsGrabbing();
    target.StopGrabbing();
    CameraParameters& parameters = target.GetParameters();
    target.GetBackupParameters().CopyValuesFrom(parameters);

    const std::string caption =
        (boost::format("Configure camera on port #%d: %s") % (port + 1) % target.GetFriendlyName())
            .str();
    auto sheet = std::make_unique<CSheet1>(QString::fromStdString(caption),
                                           static_cast<QWidget*>(parent), 0, port);
    auto page = std::make_unique<CPropertyGeneral>(target, parameters, sheet.get());
    sheet->AddPage(page.get());
    // OK saves while the sheet is still open, so that a failed save leaves the user the choice.
    bool settingsTaken = false;
    sheet->SetOkHandler([&](std::string& error) {
        target.ApplyDriverSettings();
        settingsTaken = true;
        return target.Save(error);
    });
    const int result = sheet->DoModal();

    bool accepted = false;
    if (result == CSheet1::kIdOk) {
        accepted = true;
    } else {
        parameters.CopyValuesFrom(target.GetBackupParameters());
        target.ApplyAllToCamera(kCancelPasses);
        target.RefreshFromCamera();
        if (settingsTaken) {
            target.ApplyDriverSettings();
        }
    }
    // OK as Cancel: a host cannot tell that continuous grabbing stopped for the dialog.
    if (wasGrabbing && target.IsContinuousGrab()) {
        target.StartGrabbing();
    }

    sheet->RemovePage(page.get());
    state.LogPort(2, port, "", "Configure leaving", kWhere);
    page.reset();
    sheet.reset();
    return accepted;
}
