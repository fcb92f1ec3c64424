#include "camera/CameraList.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "base/DriverState.h"
#include "camera/Camera.h"
#include "camera/CameraDeviceInfo.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/transport/TlFactory.h"

namespace {

// Atomic: image queue threads still look it up (Camera::InvokeCB) while finalize clears it.
std::atomic<CameraList*> gInstance{nullptr};

}  // namespace

CameraList& CameraList::Instance() {
    CameraList* list = gInstance.load();
    if (!list) {
        throw std::runtime_error("CameraList instance not ready yet");
    }
    return *list;
}

CameraList* CameraList::TryInstance() {
    return gInstance;
}

void CameraList::InitInstance() {
    if (gInstance) {
        GetDriverState().Log(1, "CameraList::InitInstance: WARNING: already initialized");
        return;
    }
    auto* list = new CameraList();
    gInstance = list;
    list->Init();
}

void CameraList::DestroyInstance() {
    CameraList* list = gInstance.exchange(nullptr);
    if (list && list->Shutdown()) {
        delete list;
    }
}

std::mutex& CameraList::CallbackLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

CameraList::CameraList() : mReopenThread(&mLostCameras) {}

CameraList::~CameraList() = default;

bool CameraList::Shutdown() {
    for (int i = 0; i < mCameras.Size(); ++i) {
        if (Camera* camera = mCameras.At(i)) {
            camera->mImageQueueThread.RequestStop();
        }
    }
    GetDriverState().Log(2, "CameraList dtor");

    // The reopen thread stops first, so it can never reach a camera deleted below.
    mLostCameras.Clear();
    if (!mReopenThread.Destroy()) {
        // Still inside an open after 10 s: it may touch this list and any camera, so they are
        // kept alive for the rest of the process.
        GetDriverState().Log(
            1, "CameraList dtor: WARNING: reopen thread still busy, cameras are kept");
        return false;
    }
    for (int i = 0; i < mCameras.Size(); ++i) {
        Camera* camera = mCameras.At(i);
        if (camera && !camera->mImageQueueThread.Destroy()) {
            // A host callback that does not return keeps its camera alive for good.
            GetDriverState().Log(1, "CameraList dtor: WARNING: image queue thread of " +
                                        camera->Name() + " still busy, camera is kept");
            mCameras.Remove(camera);
            --i;
        }
    }
    mCameras.DeleteAll();
    mConfigNames.clear();
    return true;
}

void CameraList::Init() {
    sdk::DeviceInfoList filter(2);
    filter[0].SetDeviceClass("BaslerGigE");
    filter[1].SetDeviceClass("BaslerUsb");
    int count = sdk::TlFactory::GetInstance().EnumerateDevices(mDevices, filter, false);
    if (count == 0 || mDevices.empty()) {
        GetDriverState().Log(
            1, "CameraList::Init: WARNING: enumerateDevices shows no camera present!");
        return;
    }
    int created = 0;
    for (const sdk::DeviceInfo& device : mDevices) {
        CameraDeviceInfo info(device);
        Camera* camera = CreateCamera(info);
        if (!camera) {
            GetDriverState().Log(1, "CameraList::Init:  ERROR: could not allocate Camera object");
            continue;
        }
        const char* kind = camera->mGigECamera ? "gigE" : camera->mUsbCamera ? "Usb" : "?";
        GetDriverState().Log(1, std::string(kind) + " camera found: " + info.mFriendlyName);
        mCameras.Add(camera);
        ++created;
    }
    if (created > 0) {
        mReopenThread.Start();
        GetDriverState().Log(2,
                             "CameraList::Init: " + std::to_string(created) + " camera(s) found");
    } else {
        GetDriverState().Log(1, "CameraList::Init: WARNING: no supported cameras found");
    }
}

int CameraList::Count() const {
    return mCameras.Size();
}

const char** CameraList::GetConfigNames() {
    std::lock_guard<std::mutex> lock(mConfigNamesLock);
    if (!mConfigNames.empty()) {
        return mConfigNames.data();  // the camera set never changes
    }
    int count = mCameras.Size();
    for (int i = 0; i < count; ++i) {
        mConfigNames.push_back(mCameras.At(i)->Name().c_str());
    }
    mConfigNames.push_back(nullptr);
    return mConfigNames.data();
}

Camera* CameraList::GetByName(const char* name) const {
    std::string text = name ? name : "";
    GetDriverState().Log(3, "CameraList::GetByName: entering " + text);
    if (!name) {
        return nullptr;
    }
    int count = mCameras.Size();
    for (int i = 0; i < count; ++i) {
        Camera* camera = mCameras.At(i);
        if (camera && camera->Name() == text) {
            GetDriverState().Log(3, "CameraList::GetByName: leaving " + text);
            return camera;
        }
    }
    return nullptr;
}

Camera* CameraList::GetByPort_(int port) const {
    int count = mCameras.Size();
    for (int i = 0; i < count; ++i) {
        Camera* camera = mCameras.At(i);
        if (camera && camera->mPort == port) {
            return camera;
        }
    }
    GetDriverState().LogPort(1, port, "", "Error:Camera not found", "CameraList::GetByPort_");
    return nullptr;
}

bool CameraList::MarkLost(Camera* camera) {
    // Runs inside the SDK's removal call, which an open re-attaching the device waits for while
    // it holds the camera's lock: the lock is only tried here, and a camera that got closed
    // meanwhile (the open comes after a close) is left alone.
    std::unique_lock<std::recursive_mutex> lock(camera->mLock, std::try_to_lock);
    while (!lock.owns_lock()) {
        if (!camera->mIsOpen) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.try_lock();
    }
    if (!camera->mIsOpen) {
        return false;
    }
    camera->Close();
    mLostCameras.AddUnique(camera);
    return true;
}

void CameraList::MarkLostWhileOpening(Camera* camera) {
    mLostCameras.AddUnique(camera);
}

bool CameraList::IsLost(const Camera* camera) const {
    return mLostCameras.Contains(camera);
}

void CameraList::RemoveLost(Camera* camera) {
    mLostCameras.Remove(camera);
}

Camera* CreateCamera(const CameraDeviceInfo& info) {
    sdk::InstantCamera* instantCamera = nullptr;
    if (info.mDeviceClass == "BaslerGigE") {
        instantCamera = new sdk::GigEInstantCamera();
    } else if (info.mDeviceClass == "BaslerUsb") {
        instantCamera = new sdk::UsbInstantCamera();
    } else {
        GetDriverState().Log(1, "CreateCamera:: unrecognized type: " + info.mDeviceClass);
        return nullptr;
    }
    return new Camera(info, instantCamera);
}
