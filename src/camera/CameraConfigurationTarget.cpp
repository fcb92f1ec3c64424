#include "camera/CameraConfigurationTarget.h"

#include <mutex>

#include "base/DriverState.h"
#include "camera/Camera.h"
#include "parameters/DriverSettings.h"
#include "sdk/grab/InstantCamera.h"

CameraConfigurationTarget::CameraConfigurationTarget(Camera& camera) : mCamera(camera) {}

int CameraConfigurationTarget::GetPort() const {
    return mCamera.mPort;
}

std::string CameraConfigurationTarget::GetFriendlyName() const {
    return mCamera.Name();
}

CameraParameters& CameraConfigurationTarget::GetParameters() {
    return mCamera.mParameters;
}

CameraParameters& CameraConfigurationTarget::GetBackupParameters() {
    return mCamera.mBackupParameters;
}

void CameraConfigurationTarget::SetConfiguring(bool configuring) {
    mCamera.mConfiguring = configuring;
}

bool CameraConfigurationTarget::IsGrabbing() {
    return mCamera.mInstantCamera->IsGrabbing();
}

void CameraConfigurationTarget::StopGrabbing() {
    mCamera.StopGrabbing();
}

void CameraConfigurationTarget::StartGrabbing() {
    if (mCamera.mIsOpen) {
        mCamera.StartGrabbing();
    }
}

bool CameraConfigurationTarget::IsContinuousGrab() const {
    return mCamera.mContinuousGrab;
}

void CameraConfigurationTarget::ApplyToCamera(const std::vector<std::string>& names) {
    std::lock_guard<std::recursive_mutex> lock(mCamera.mLock);
    if (mCamera.mIsOpen) {
        mCamera.mParameters.ApplyParameters(mCamera.mInstantCamera->GetNodeMap(), names);
    }
}

bool CameraConfigurationTarget::ApplyAllToCamera(int maxPasses) {
    std::lock_guard<std::recursive_mutex> lock(mCamera.mLock);
    if (!mCamera.mIsOpen) {
        return true;
    }
    return mCamera.mParameters.ApplyParameters(mCamera.mInstantCamera->GetNodeMap(), maxPasses);
}

void CameraConfigurationTarget::RefreshFromCamera() {
    std::lock_guard<std::recursive_mutex> lock(mCamera.mLock);
    if (mCamera.mIsOpen) {
        mCamera.mParameters.UpdateParameters(mCamera.mInstantCamera->GetNodeMap());
    }
}

bool CameraConfigurationTarget::Validate(const CameraParameters& parameters, std::string& message) {
    return parameters.Validate(message);
}

bool CameraConfigurationTarget::Save(std::string& error) {
    return mCamera.mParameters.Save(&error);
}

void CameraConfigurationTarget::ApplyDriverSettings() {
    mCamera.mDriverState->ApplySettings(mCamera.mParameters);
}
