#include "camera/CameraEventHandler.h"

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"

CameraEventHandler::CameraEventHandler(Camera* camera, const std::atomic<int>* port)
    : mCamera(camera), mPort(port) {}

CameraEventHandler::~CameraEventHandler() {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(3)) {
        state.Log(3, "CameraEventHandler:: dtor");
    }
}

void CameraEventHandler::OnCameraDeviceRemoved(sdk::InstantCamera&) {
    const char* where = "CameraEventHandler::OnCameraDeviceRemoved";
    int port = mPort->load();
    RunGuardedVoid(port, "OnCameraDeviceRemoved", where, [&] {
        if (!mCamera->mIsOpen) {
            return;
        }
        DriverState& state = GetDriverState();
        const std::string& name = mCamera->Name();
        if (Camera::GetParameter<bool>(mCamera->mParameters, "Reconnect")) {
            if (!CameraList::Instance().MarkLost(mCamera)) {
                return;  // closed by the host meanwhile
            }
            state.LogPort(1, port, "",
                          "WARNING: Camera removed: " + name + ". Will try to reconnect", where);
        } else {
            state.LogPort(1, port, "", "WARNING: Camera removal detected: " + name, where);
        }
    });
}

void CameraEventHandler::OnGrabError(sdk::InstantCamera&, const char* message) {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(1)) {
        state.LogPort(1, mPort->load(), "ERR: ", message ? message : "",
                      "CameraEventHandler::OnGrabError");
    }
}
