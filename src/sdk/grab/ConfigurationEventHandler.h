#pragma once

namespace sdk {

class InstantCamera;

// Hooks into an instant camera's life. Every method does nothing unless overridden.
//
// Threading: all calls come on the thread that calls the camera operation named, except
// OnCameraDeviceRemoved, which comes on a thread of the backend, once, when an opened device
// disappears. A handler may call Close() on the camera from OnCameraDeviceRemoved.
class ConfigurationEventHandler {
  public:
    virtual ~ConfigurationEventHandler() = default;

    virtual void OnAttach(InstantCamera&) {}
    virtual void OnAttached(InstantCamera&) {}
    virtual void OnDetach(InstantCamera&) {}
    virtual void OnDetached(InstantCamera&) {}
    virtual void OnDestroy(InstantCamera&) {}
    virtual void OnDestroyed(InstantCamera&) {}
    virtual void OnOpen(InstantCamera&) {}
    virtual void OnOpened(InstantCamera&) {}
    virtual void OnClose(InstantCamera&) {}
    virtual void OnClosed(InstantCamera&) {}
    virtual void OnGrabStart(InstantCamera&) {}
    virtual void OnGrabStarted(InstantCamera&) {}
    virtual void OnGrabStop(InstantCamera&) {}
    virtual void OnGrabStopped(InstantCamera&) {}
    virtual void OnGrabError(InstantCamera&, const char* /*message*/) {}
    virtual void OnCameraDeviceRemoved(InstantCamera&) {}
    virtual void OnConfigurationRegistered(InstantCamera&) {}
    virtual void OnConfigurationDeregistered(InstantCamera&) {}
};

}  // namespace sdk
