#include "camera/Camera.h"

#include <boost/numeric/conversion/cast.hpp>

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/CameraConfigurationTarget.h"
#include "camera/CameraList.h"
#include "camera/DialogModule.h"
#include "parameters/DriverSettings.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/NodeMapSnapshot.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/InstantCamera.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/DeviceInfo.h"
#include "sdk/transport/TlFactory.h"

namespace {

const char* const kOpen = "Camera::DoOpen";
const char* const kClose = "Camera::Close";

// Pixel formats delivered as 8-bit mono images; every other format becomes 24-bit colour.
const std::set<std::string> kGigEMonoFormats = {"Mono8",  "Mono10",       "Mono10Packed", "Mono10p",
                                                "Mono12", "Mono12Packed", "Mono16"};
const std::set<std::string> kUsbMonoFormats = {"Mono8", "Mono10", "Mono10p", "Mono12", "Mono12p"};

}  // namespace

Camera::Camera(const CameraDeviceInfo& info, sdk::InstantCamera* instantCamera)
    : mInstantCamera(instantCamera),
      mEventHandler(this, &mPort),
      mBuffers(this),
      mParameters(&mPort, info.mFriendlyName),
      mBackupParameters(&mPort, info.mFriendlyName),
      mDeviceInfo(info),
      mDriverState(&GetDriverState()),
      mImageQueueThread(this) {
    if (!mInstantCamera) {
        throw std::runtime_error("Camera ctor received null pointer");
    }
    mGigECamera = dynamic_cast<sdk::GigEInstantCamera*>(mInstantCamera.get());
    mUsbCamera = dynamic_cast<sdk::UsbInstantCamera*>(mInstantCamera.get());
}

Camera::~Camera() {
    if (mDriverState->IsLogEnabled(2)) {
        mDriverState->Log(2, "Camera:: dtor: " + Name());
    }
    mImageQueueThread.Destroy();
    RunGuardedVoid(mPort, "~Camera", "Camera::~Camera", [this] {
        mInstantCamera->DestroyDevice();
        mInstantCamera.reset();
    });
}

void Camera::Log(int level, const char* tag, const std::string& text, const char* where) const {
    mDriverState->LogPort(level, mPort, tag, text, where);
}

bool Camera::AttachDevice() {
    sdk::DeviceInfoList filter(1);
    filter[0].SetDeviceClass(mDeviceInfo.mDeviceClass);
    filter[0].SetSerialNumber(mDeviceInfo.mSerialNumber);
    sdk::DeviceInfoList devices;
    sdk::TlFactory& factory = sdk::TlFactory::GetInstance();
    if (factory.EnumerateDevices(devices, filter, false) == 0) {
        return false;
    }
    mInstantCamera->Attach(factory.CreateDevice(devices[0]));
    if (mInstantCamera->IsPylonDeviceAttached()) {
        return true;
    }
    Log(1, "", "Error: Camera device not created, camera:" + Name(), "Camera::AttachDevice");
    return false;
}

void Camera::SetHeartBeat(int64_t timeout) {
    sdk::IInteger* node =
        sdk::As<sdk::IInteger>(mInstantCamera->GetTLNodeMap().GetNode("HeartbeatTimeout"));
    if (!node) {
        Log(2, "", "Warning: Heartbeat not accessible", "Camera::SetHeartBeat");
        return;
    }
    int64_t increment = node->GetInc();
    int64_t value = increment > 0 ? timeout - timeout % increment : timeout;
    node->SetValue(value, true);
}

bool Camera::Open() {
    if (mPort < 0) {
        mDriverState->LogPort(1, 99, "", "WARNING:  Port unassigned: " + Name(), kOpen);
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mIsOpen) {
        Log(1, "INFO: ", Name() + " is already open", kOpen);
        return true;
    }
    try {
        return DoOpen();
    } catch (...) {
        LogCurrentException(mPort, "OpenCamera", kOpen);
        // A device that went away at any step of the open (the heartbeat's write, say) is
        // reconnected like one removed while open.
        NoteRemovedWhileOpening();
        Close();
        // Close only closes an open camera; the SDK camera may have been opened before the
        // failure, and an open device stays held against other users.
        RunGuardedVoid(mPort, "Closing", kClose, [this] {
            mInstantCamera->StopGrabbing();
            mInstantCamera->Close();
        });
        return false;
    }
}

bool Camera::DoOpen() {
    mCurrentFrame = 0;
    mRemovalNoted = false;
    if (!AttachDevice()) {
        Log(1, "INFO: ", "Device not available: " + Name(), kOpen);
        return false;
    }
    Log(1, "INFO: ", "Opening camera " + Name(), kOpen);
    mInstantCamera->SetBufferFactory(&mBuffers, sdk::Cleanup_None);
    mInstantCamera->RegisterImageEventHandler(&mEventHandler, sdk::RegistrationMode_ReplaceAll,
                                              sdk::Cleanup_None);
    // Every open registers again; the handler is listed once, so a removal is reported once.
    mInstantCamera->DeregisterConfiguration(&mEventHandler);
    mInstantCamera->RegisterConfiguration(&mEventHandler, sdk::RegistrationMode_Append,
                                          sdk::Cleanup_None);

    if (!mParameters.Load(true)) {
        throw std::runtime_error("Camera::Open: Failed to read configuration file");
    }
    mDriverState->ApplySettings(mParameters);
    mInstantCamera->SetMaxNumBuffer(static_cast<size_t>(SettingForOpen("BufferCount")));
    mInstantCamera->Open();
    mInstantCamera->SetCameraContext(reinterpret_cast<intptr_t>(this));
    sdk::INodeMap& nodeMap = mInstantCamera->GetNodeMap();
    // The walk, the passes and the read-back are one look at the camera: what it does not let
    // a cache keep is read once per selector position until something is written.
    auto look = std::make_unique<sdk::NodeMapSnapshot>(nodeMap);

    mParameters.CreateFromNodes(nodeMap);
    FailIfRemovedWhileOpening();
    mParameters.Load(false);
    mParameters.CreateCollapseStatus();
    mBackupParameters.Assign(mParameters);
    std::string message;
    if (!mParameters.Validate(message)) {
        Log(2, "", "WARNING: Configuration not valid: " + message, kOpen);
    }
    Log(3, "", "configuration loaded from file ", kOpen);
    if (mParameters.ApplyParameters(nodeMap, 5)) {
        Log(3, "", "camera settings applied to camera ", kOpen);
    } else {
        Log(1, "", "some parameters were not applied to camera", kOpen);
    }
    // The passes left the cache as the camera is: a pass that wrote a value invalidated it.
    mParameters.UpdateParameters(nodeMap, false);
    look.reset();
    Log(3, "", "camera settings read back", kOpen);
    FailIfRemovedWhileOpening();

    const std::string format = PixelFormatName();
    mPixelSize = IsMonoFormat(format) ? 8 : 24;

    mBuffers.Init();
    CheckForSoftwareTrigger(nodeMap);
    SetHeartBeat(SettingForOpen("Heartbeat"));
    if (CameraList* list = CameraList::TryInstance()) {
        list->RemoveLost(this);
    }
    mIsOpen = true;
    if (mContinuousGrab) {
        StartGrabbing();
    }
    Log(2, "", "Open OK", kOpen);
    return true;
}

int Camera::SettingForOpen(const char* name) const {
    const int value = GetParameter<int>(mParameters, name);
    const auto& setting = dynamic_cast<const Param<int>&>(*mParameters.Find(name));
    const int used = std::min(std::max(value, setting.mMin), setting.mMax);
    if (used != value) {
        Log(1, "",
            "WARNING: " + std::string(name) + " " + std::to_string(value) + " is outside " +
                setting.GetRangeText() + ", using " + std::to_string(used),
            kOpen);
    }
    return used;
}

// A device that disappears while it is opened (its feature tree is walked, say) fails the open
// and goes the way of a removed camera: the removal handler does nothing for a camera that is
// not open yet.
void Camera::FailIfRemovedWhileOpening() {
    if (NoteRemovedWhileOpening()) {
        throw std::runtime_error("Camera::Open: the device was removed while it was opened");
    }
}

bool Camera::NoteRemovedWhileOpening() {
    sdk::Device* device = mInstantCamera->GetDevice();
    if (device == nullptr || !device->IsRemoved()) {
        return false;
    }
    if (mRemovalNoted) {
        return true;
    }
    mRemovalNoted = true;
    const std::string name = Name();
    CameraList* list = CameraList::TryInstance();
    if (list != nullptr && GetParameter<bool>(mParameters, "Reconnect")) {
        list->MarkLostWhileOpening(this);
        Log(1, "", "WARNING: Camera removed: " + name + ". Will try to reconnect", kOpen);
    } else {
        Log(1, "", "WARNING: Camera removal detected: " + name, kOpen);
    }
    return true;
}

void Camera::Close() {
    int port = mPort;
    if (!mIsOpen) {
        mDriverState->LogPort(3, port, "", "Warning: camera already closed", kClose);
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mIsOpen = false;
    mDriverState->LogPort(2, port, "", "Closing", kClose);
    RunGuardedVoid(port, "Closing", kClose, [this] {
        StopGrabbing();
        mInstantCamera->Close();
    });
}

void Camera::ReOpen() {
    const char* where = "Camera::ReOpen";
    Log(2, "", "Reopen", where);
    if (mPort < 0) {
        if (mDriverState->IsLogEnabled(2)) {
            mDriverState->Log(2, "Camera::ReOpen skipped, port==-1, camera: " + Name());
        }
        return;
    }
    if (mConfiguring) {
        Log(2, "", "Camera::ReOpen skipped, configure in progress", where);
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(mLock);
    CameraList* list = CameraList::TryInstance();
    if (list && !list->IsLost(this)) {
        Log(2, "", "Camera::ReOpen skipped, closed by the host", where);
        return;
    }
    Open();
}

void Camera::QuorvaneClose() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (CameraList* list = CameraList::TryInstance()) {
        list->RemoveLost(this);
    }
    Close();
}

bool Camera::QuorvaneOpen(int port, int* size) {
    // Two host threads opening the camera at once start one image queue thread.
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mImageQueueThread.Init();
    size[0] = 0;
    size[1] = 0;
    mPort = port;
    Log(2, "", "QuorvaneOpen", "Camera::QuorvaneOpen");
    if (!mIsOpen && !Open()) {
        return false;
    }
    size[0] = GetWidth();
    size[1] = GetHeight();
    return true;
}

bool Camera::Configure(void* parent) {
    // The dialog edits what the camera holds and writes it back: a closed camera has nothing to
    // show, and an OK could not be kept.
    if (!mIsOpen) {
        throw std::runtime_error("Camera::Configure: camera is not open");
    }
    CameraConfigurationTarget target(*this);
    return DialogModule::Run(parent, target);
}

bool Camera::IsMonoFormat(const std::string& pixelFormat) const {
    const std::set<std::string>& mono = mUsbCamera ? kUsbMonoFormats : kGigEMonoFormats;
    return mono.count(pixelFormat) != 0;
}

bool Camera::IsColor() const {
    switch (mPixelSize.load()) {
        case 8:
            return false;
        case 24:
            return true;
        default:
            throw std::runtime_error("Camera::IsColor called before mPixelSize initialization");
    }
}

int Camera::GetWidth() const {
    return ImageSize("Width");
}

int Camera::GetHeight() const {
    return ImageSize("Height");
}

// From the camera's own node while it is open: a size reached only through a selector (a
// binning selector, say) has no parameter of its plain name. The parameter otherwise.
int Camera::ImageSize(const char* name) const {
    if (mInstantCamera && mInstantCamera->IsOpen()) {
        auto* size = sdk::As<sdk::IInteger>(mInstantCamera->GetNodeMap().GetNode(name));
        if (size != nullptr && sdk::IsReadable(size->GetNode())) {
            return boost::numeric_cast<int>(size->GetValue(false, false));
        }
    }
    return GetParameterAsInt(mParameters, name);
}

std::string Camera::PixelFormatName() const {
    if (mInstantCamera && mInstantCamera->IsOpen()) {
        sdk::INode* format = mInstantCamera->GetNodeMap().GetNode("PixelFormat");
        if (format != nullptr && sdk::IsReadable(format)) {
            return format->ToString(false, false).str();
        }
    }
    const Param_* format = mParameters.Find("PixelFormat");
    return format != nullptr ? format->GetValueText() : std::string();
}
