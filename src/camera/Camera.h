#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/AcquisitionCamera.h"
#include "acquisition/ImageQueueThread.h"
#include "acquisition/ImgBuffers.h"
#include "camera/CameraDeviceInfo.h"
#include "camera/CameraEventHandler.h"
#include "ostravelk/ostravelk.h"
#include "parameters/CameraParameters.h"
#include "parameters/TypedParameterAccess.h"

class DriverState;
struct PropertyValue;

namespace sdk {
class GigEInstantCamera;
class INodeMap;
class InstantCamera;
class UsbInstantCamera;
class WaitObject;
}  // namespace sdk

// One supported device as the driver sees it for its whole life: created (not opened) when the
// camera list is built, bound to a host port and opened by openCVLPort, closed by closeCVLPort or
// by device removal, possibly reopened by the reopen thread, destroyed by the last finalize.
//
// States: created (mPort -1, nothing attached) -> bound and closed (mPort >= 0) -> open ->
// lost (closed after a removal, listed in the camera list's lost cameras) -> open again.
//
// The members are defined in Camera.cpp (open, close, configuration), CameraGrabControl.cpp (grab
// control) and NamedProperties.cpp (named properties and commands). The image buffers and the
// image queue thread reach the camera as an AcquisitionCamera.
//
// Threading: host threads call everything; the image queue thread calls RetrieveImage and
// InvokeCB (and BeginWaitForImage, CountFrame); the reopen thread calls ReOpen; an SDK thread
// reports removal through mEventHandler. mLock (recursive) is held for the whole of Open and of
// Close, so an open from the reopen thread and a close from a host or removal thread never
// interleave. Grab and SetContinuousGrab hold it too, so that a setting written by SetProperty
// meets a grab whose buffers it can check. It also guards the parameter sets, which an open
// rebuilds: the named property operations, the size report of QuorvaneOpen and the image queue
// thread's chunk update hold it. The flags and counters read across threads are atomics.
class Camera : public AcquisitionCamera {
  public:
    // Takes ownership of instantCamera; throws std::runtime_error "Camera ctor received null
    // pointer" when it is null.
    Camera(const CameraDeviceInfo& info, sdk::InstantCamera* instantCamera);
    ~Camera() override;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // --- Open and close ---------------------------------------------------------------------
    // Finds the device again by class and serial number and attaches it.
    bool AttachDevice();
    // Writes the transport layer's heartbeat time-out (ms), where the device has one.
    void SetHeartBeat(int64_t timeout);
    // The open sequence; true when the camera is open afterwards. Never throws.
    bool Open();
    // Stops grabbing and closes the SDK camera. Never throws.
    void Close();
    // Open, unless the camera has no port, its configuration dialog is running or it is no
    // longer lost (the host closed it).
    void ReOpen();
    // Binds the camera to port, starts its image queue thread, opens it unless open and reports
    // width and height into size[0] and size[1].
    bool QuorvaneOpen(int port, int* size);
    // The host's close (closeCVLPort): takes the camera off the lost cameras, so that it stays
    // closed when its device returns, then Close; both under mLock, so that a reopen in progress
    // finishes first and none starts after.
    void QuorvaneClose();
    // The modal configuration dialog; true when closed with OK.
    bool Configure(void* parent);
    // False for 8-bit output, true for 24-bit; throws before the pixel size is known.
    bool IsColor() const override;
    // Whether frames of this pixel format (its name) are delivered as 8-bit mono images; every
    // other format becomes 24-bit colour.
    bool IsMonoFormat(const std::string& pixelFormat) const override;

    // --- Grab control -------------------------------------------------------------------------
    // One host grab request; false only when the camera was closed meanwhile.
    bool Grab();
    void SetContinuousGrab(bool on);
    void StartGrabbing();
    void StopGrabbing();
    void CheckForSoftwareTrigger(sdk::INodeMap& nodeMap);
    void SoftwareTrigger();
    // Image queue thread only.
    bool RetrieveImage() override;
    void InvokeCB() override;
    // Whether the calling thread is inside a host's completion callback.
    static bool IsCallingBack();

    // --- Named properties -----------------------------------------------------------------------
    // The parameter name an alias stands for ("Gain" -> "All_GainRaw", ...).
    std::string MapPropertyName(const std::string& name) const;
    bool GetRange(const std::string& name, int& min, int& max);
    bool GetProperty(const std::string& name, PropertyValue& value);
    bool SetProperty(const std::string& name, const PropertyValue& value);
    // Commands "get", "set" and "list"; never writes more than resultSize bytes into result.
    bool ExecuteCmd(const char* command, const char* argument, char* result, unsigned resultSize);
    // One line per name that GetProperty accepts (special names, aliases whose feature exists,
    // visible parameters): NAME, type, "rw"/"ro", value, range or entries, description, separated
    // by tabs. The lines of the "list" command.
    std::vector<std::string> ListProperties();

    // --- Typed parameter access -----------------------------------------------------------------
    template <typename T>
    static T GetParameter(const CameraParameters& parameters, const std::string& name) {
        return ::GetParameter<T>(parameters, name);
    }
    template <typename T>
    static void SetParameter(CameraParameters& parameters, const std::string& name,
                             const T& value) {
        ::SetParameter<T>(parameters, name, value);
    }
    // The image's size and pixel format as the camera's nodes give them while it is open (the
    // parameters of those names otherwise).
    int GetWidth() const override;
    int GetHeight() const override;
    std::string PixelFormatName() const override;

    // --- What acquisition needs besides (AcquisitionCamera) -----------------------------------
    int GetPort() const override { return mPort; }
    const CameraParameters& GetWorkingParameters() const override { return mParameters; }
    void SetPixelSize(int bits) override { mPixelSize = bits; }
    void SetCurrentFrame(uint64_t blockId) override { mCurrentFrame = blockId; }
    const sdk::WaitObject& GetGrabResultWaitObject() const override;
    void BeginWaitForImage() override { mStopsBeforeWait = mStops.load(); }
    void CountFrame() override { ++mFrameCount; }

    // The camera's name towards the host.
    const std::string& Name() const { return mDeviceInfo.mFriendlyName; }

    std::unique_ptr<sdk::InstantCamera> mInstantCamera;
    sdk::GigEInstantCamera* mGigECamera = nullptr;
    sdk::UsbInstantCamera* mUsbCamera = nullptr;
    CameraEventHandler mEventHandler;
    ImgBuffers mBuffers;
    CameraParameters mParameters;
    CameraParameters mBackupParameters;
    std::atomic<int> mPort{-1};
    CameraDeviceInfo mDeviceInfo;
    std::atomic<CompleteCallback> mCompleteCallback{nullptr};
    DriverState* mDriverState;
    std::atomic<bool> mContinuousGrab{false};
    std::atomic<bool> mUseSoftwareTrigger{false};
    std::atomic<bool> mIsOpen{false};
    std::atomic<bool> mConfiguring{false};
    std::recursive_mutex mLock;
    bool mRemovalNoted = false;  // the open under way noted the device's removal; guarded by mLock
    ImageQueueThread mImageQueueThread;
    std::atomic<int> mPixelSize{0};
    std::atomic<uint64_t> mCurrentFrame{0};
    std::atomic<int64_t> mFrameCount{0};
    // Counts the starts and the ends of StopGrabbing (odd while a stop runs), so that the image
    // queue thread can tell an image a stop took away from a failed retrieval.
    std::atomic<uint64_t> mStops{0};
    std::atomic<uint64_t> mStopsBeforeWait{0};  // mStops as the image queue thread began to wait

  private:
    enum class StoreResult { Stored, Refused, Unsupported };
    // The parameters an image's format and size come from.
    static constexpr const char* kImageFormatNames[] = {"Width", "Height", "OffsetX", "OffsetY",
                                                        "PixelFormat"};

    bool DoOpen();
    // Stores a host's value in a parameter: Refused (why tells) for a text that is no number of
    // the parameter's kind or an entry it does not have; Unsupported for a parameter type a
    // property cannot have. Ranges are not checked here.
    static StoreResult StoreValue(Param_& parameter, const PropertyValue& value, double scale,
                                  std::string& why);
    // Writes the candidate value of parameter to the open camera; false (why tells) when the
    // camera refuses it or cannot take it now. An image-format feature, or one the camera locks
    // while it streams, is written between a stop and a restart of a running grab. mLock held.
    bool WriteToCamera(const Param_& parameter, Param_& candidate, std::string& why);
    static bool IsImageFormatName(const std::string& name);
    // The image format and size as the parameter set holds them, as one text.
    std::string ImageFormatText() const;
    // After a write: reads the image format back and restarts a running grab when the frames
    // outgrow the grab buffers or (formatBefore not empty) change format. mLock held.
    void FollowImageFormat(sdk::INodeMap& nodeMap, const std::string& formatBefore);
    // The integer driver setting as the open uses it: clamped into the setting's range, so that a
    // value the file got wrong (the validation warns about it) cannot keep the camera from
    // opening. A clamped value is logged with the value used.
    int SettingForOpen(const char* name) const;
    // Throws (after marking the camera lost) when the device went away during the open.
    void FailIfRemovedWhileOpening();
    // Marks the camera lost (with Reconnect) and logs it, once per open, when the device went
    // away during the open; whether it did.
    bool NoteRemovedWhileOpening();
    int ImageSize(const char* name) const;
    void Log(int level, const char* tag, const std::string& text, const char* where) const;
};
