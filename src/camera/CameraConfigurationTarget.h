#pragma once

#include <string>
#include <vector>

#include "camera/ConfigurationTarget.h"

class Camera;

// The configuration dialog's view of one camera. The camera's actions run under the camera's
// lock; on a camera that is not open (closed, or lost after a removal) nothing is written to or
// read from the device: the edited set is kept, saved on OK and written at the next open.
//
// Threading: the dialog's thread only.
class CameraConfigurationTarget : public ConfigurationTarget {
  public:
    explicit CameraConfigurationTarget(Camera& camera);

    int GetPort() const override;
    std::string GetFriendlyName() const override;
    CameraParameters& GetParameters() override;
    CameraParameters& GetBackupParameters() override;
    void SetConfiguring(bool configuring) override;
    bool IsGrabbing() override;
    void StopGrabbing() override;
    void StartGrabbing() override;
    bool IsContinuousGrab() const override;
    void ApplyToCamera(const std::vector<std::string>& names) override;
    bool ApplyAllToCamera(int maxPasses) override;
    void RefreshFromCamera() override;
    bool Validate(const CameraParameters& parameters, std::string& message) override;
    bool Save(std::string& error) override;
    void ApplyDriverSettings() override;

  private:
    Camera& mCamera;
};
