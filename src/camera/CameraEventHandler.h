#pragma once

#include <atomic>

#include "sdk/ConfigurationEventHandler.h"
#include "sdk/ImageEventHandler.h"

class Camera;

// Receives the SDK's events for one camera. Only device removal is acted on: with the driver
// setting "Reconnect" the camera is closed and put on the camera list's lost cameras, from which
// the reopen thread opens it again; without it only a warning is logged.
//
// Threading: OnCameraDeviceRemoved runs on a thread of the SDK; it reads the camera's flags and
// settings and may close the camera (which takes the camera's lock).
class CameraEventHandler : public sdk::ConfigurationEventHandler, public sdk::ImageEventHandler {
  public:
    CameraEventHandler(Camera* camera, const std::atomic<int>* port);
    ~CameraEventHandler() override;

    void OnCameraDeviceRemoved(sdk::InstantCamera& camera) override;

  private:
    Camera* mCamera;
    const std::atomic<int>* mPort;
};
