#pragma once

#include <atomic>

#include "sdk/grab/ConfigurationEventHandler.h"
#include "sdk/grab/ImageEventHandler.h"

class Camera;

// Receives the SDK's events for one camera. Device removal is acted on: with the driver
// setting "Reconnect" the camera is closed and put on the camera list's lost cameras, from which
// the reopen thread opens it again; without it only a warning is logged. A grab error (a start or
// stop command the camera skipped) is logged at level 1.
//
// Threading: OnGrabError runs on the thread that starts or stops grabbing.
// OnCameraDeviceRemoved runs on a thread of the SDK; it reads the camera's flags and
// settings and may close the camera (which takes the camera's lock).
class CameraEventHandler : public sdk::ConfigurationEventHandler, public sdk::ImageEventHandler {
  public:
    CameraEventHandler(Camera* camera, const std::atomic<int>* port);
    ~CameraEventHandler() override;

    void OnCameraDeviceRemoved(sdk::InstantCamera& camera) override;
    void OnGrabError(sdk::InstantCamera& camera, const char* message) override;

  private:
    Camera* mCamera;
    const std::atomic<int>* mPort;
};
