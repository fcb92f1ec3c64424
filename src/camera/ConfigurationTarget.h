#pragma once

#include <string>
#include <vector>

class CameraParameters;

// What the configuration dialog needs from the camera it configures. The camera implements it
// (or wraps itself in an adapter) and passes it to RunConfigurationDialog; the dialog never sees
// the camera's SDK objects. Every "camera" operation below works on the working set and the
// device node map the camera holds.
//
// Threading: all calls come from the thread that runs the dialog, one at a time, between
// SetConfiguring(true) and SetConfiguring(false). The camera decides which of its own locks to
// take inside each call; the dialog holds none.
class ConfigurationTarget {
  public:
    virtual ~ConfigurationTarget();

    // --- Identity and parameter sets ------------------------------------------------------------

    // The port (mPort); log lines and the caption ("#" port + 1) use it.
    virtual int GetPort() const = 0;
    // The camera's name (mFriendlyName of its device info).
    virtual std::string GetFriendlyName() const = 0;
    // The working set (mParameters), edited in place by the dialog.
    virtual CameraParameters& GetParameters() = 0;
    // The backup set (mBackupParameters): takes the working values when the dialog opens and
    // gives them back on Cancel.
    virtual CameraParameters& GetBackupParameters() = 0;

    // --- State ----------------------------------------------------------------------------------

    // The configure-in-progress flag (mConfiguring): set when the dialog starts, cleared on every
    // way out, exceptions included. While set the camera refuses grabs, continuous-mode changes
    // and reopening.
    virtual void SetConfiguring(bool configuring) = 0;
    // Whether the SDK camera is grabbing (the instant camera's IsGrabbing).
    virtual bool IsGrabbing() = 0;
    virtual void StopGrabbing() = 0;
    virtual void StartGrabbing() = 0;
    // mContinuousGrab.
    virtual bool IsContinuousGrab() const = 0;

    // --- Camera actions on the working set ------------------------------------------------------

    // Writes exactly the named parameters, in list order (CameraParameters::ApplyParameters with
    // the node map and the names).
    virtual void ApplyToCamera(const std::vector<std::string>& names) = 0;
    // Writes the whole set in up to maxPasses passes (CameraParameters::ApplyParameters); true
    // when it converged.
    virtual bool ApplyAllToCamera(int maxPasses) = 0;
    // Reads every camera parameter back (CameraParameters::UpdateParameters).
    virtual void RefreshFromCamera() = 0;
    // parameters.Validate (CameraParameters::Validate): true when valid, else false with the
    // first failure's text in message.
    virtual bool Validate(const CameraParameters& parameters, std::string& message) = 0;
    // Saves the set to the configuration file (CameraParameters::Save); false, with a text for
    // the user in error, when it was not saved.
    virtual bool Save(std::string& error) = 0;
    // The driver takes its logging settings from the set (DriverState::ApplySettings).
    virtual void ApplyDriverSettings() = 0;
};
