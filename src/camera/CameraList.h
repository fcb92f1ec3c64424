#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/CameraReopenThread.h"
#include "camera/CameraVector.h"
#include "sdk/transport/DeviceInfo.h"

class Camera;
struct CameraDeviceInfo;

// The one list of cameras the driver can serve, built by the first initialize from the SDK's GigE
// and USB devices and destroyed by the last finalize. The set of cameras never changes while the
// list exists: a camera that disappears stays (and may wait in mLostCameras), a camera plugged in
// later is not added.
//
// Threading: InitInstance, Init and DestroyInstance run on the host thread inside initialize and
// finalize, which must not overlap other calls. Look-ups run on host threads, the reopen thread,
// image queue threads and SDK threads (the instance pointer is atomic: an image queue thread may
// look it up while finalize clears it); each CameraVector operation holds that vector's lock for
// itself only.
// CallbackLock() serialises the host's completion callbacks of all cameras.
class CameraList {
  public:
    // The list; throws std::runtime_error "CameraList instance not ready yet" when there is none.
    static CameraList& Instance();
    // The list, or null when there is none.
    static CameraList* TryInstance();
    // Creates the list and fills it (Init) unless it exists; then only logs a warning.
    static void InitInstance();
    // Destroys the list, if any, and forgets it.
    static void DestroyInstance();
    // The lock held around every host completion callback. It outlives the list, so an image
    // queue thread that is still inside a host callback at finalize never meets a dead lock.
    static std::mutex& CallbackLock();

    ~CameraList();
    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

    // Enumerates the devices and makes one camera per supported device.
    void Init();
    int Count() const;
    // Names of all cameras in list order, ending with null; valid until the list's destruction.
    // Every call returns the same array (built by the first), so host threads that ask at the
    // same time never see it rebuilt under them.
    const char** GetConfigNames();
    // The first camera whose name equals name exactly; null when none (or name is null).
    Camera* GetByName(const char* name) const;
    // The first camera bound to port; null (logged) when none.
    Camera* GetByPort_(int port) const;
    // Closes a removed camera and adds it to the lost cameras unless present (true); nothing
    // (false) when the camera is not open (closed by the host meanwhile). Holds the camera's mLock
    // throughout, so a host close never falls between the close and the listing; called from the
    // SDK's removal call, it never waits for that lock while the camera is closed.
    bool MarkLost(Camera* camera);
    // Adds a camera whose device went away while it was being opened (the open holds its mLock
    // and fails; the camera was never open, so there is nothing to close).
    void MarkLostWhileOpening(Camera* camera);
    // Takes a camera off the lost cameras (open succeeded, or the host closed it).
    void RemoveLost(Camera* camera);
    bool IsLost(const Camera* camera) const;
    CameraVector& LostCameras() { return mLostCameras; }

  private:
    CameraList();
    // Stops the threads and deletes the cameras; false when the reopen thread did not stop, in
    // which case the list must be kept alive.
    bool Shutdown();

    sdk::DeviceInfoList mDevices;
    CameraVector mCameras;
    CameraVector mLostCameras;
    std::mutex mConfigNamesLock;
    std::vector<const char*> mConfigNames;  // guarded by mConfigNamesLock
    CameraReopenThread mReopenThread;
};

// A new camera for a device of a supported class ("BaslerGigE", "BaslerUsb"); null otherwise.
Camera* CreateCamera(const CameraDeviceInfo& info);
