#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/genapi/IntegerParameter.h"
#include "sdk/grab/CameraTypes.h"

namespace sdk {

class ConfigurationEventHandler;
class Device;
class DeviceInfo;
class GrabEngine;
class GrabResultPtr;
class IBufferFactory;
class ImageEventHandler;
class INodeMap;
class MemoryNodeMap;
class WaitObject;

// Drives one device: attach, open/close, feature access, grabbing with a caller-provided loop.
// Created empty, then given a device with Attach. GigEInstantCamera and UsbInstantCamera accept
// only devices of their class, so callers can tell the kinds apart by type.
//
// Grabbing: StartGrabbing allocates MaxNumBuffer buffers from the buffer factory (the heap
// without one), queues them to the device and runs the "AcquisitionStart" command;
// RetrieveResult hands out finished buffers oldest first (image event handlers see each);
// releasing a GrabResultPtr queues its buffer again. With a maximum image count, grabbing stops
// by itself once that many results were retrieved. StopGrabbing runs "AcquisitionStop" and
// returns the buffers to the factory (those still held by results when they are released). A
// start or stop command that is missing or not writable is skipped, and every configuration
// handler's OnGrabError hears of it.
//
// Removal: when an opened device disappears, every configuration handler's
// OnCameraDeviceRemoved runs on a backend thread; IsCameraDeviceRemoved() is then true. A handler
// may close the camera from there. Do not destroy or re-attach the camera while holding a lock
// your removal handler also takes: both wait for a removal call in progress.
//
// Handlers registered with Cleanup_None stay the caller's and must outlive their registration:
// the camera calls them up to its own destruction (OnDestroy, OnConfigurationDeregistered, ...).
//
// Threading: callers serialise the camera's own operations (attach, open, close, start, stop).
// RetrieveResult, the wait object and NumReadyBuffers may be used from another thread while
// grabbing; a RetrieveResult that takes the last of a maximum image count stops grabbing on its
// thread, and the grab engine serialises that stop with the callers' start and stop (IsGrabbing
// stays true until it has finished); RetrieveResult allocates nothing (the image handlers are read
// from an immutable snapshot that registration replaces). mMutex (recursive) guards mDevice,
// mDeviceOwned, mFactory, mFactoryCleanup and mEngine; mHandlerMutex guards the handler lists and
// the snapshot pointer, and is never held while a handler runs.
class InstantCamera {
  public:
    InstantCamera();
    explicit InstantCamera(Device* device, ECleanup cleanup = Cleanup_Delete);
    virtual ~InstantCamera();
    InstantCamera(const InstantCamera&) = delete;
    InstantCamera& operator=(const InstantCamera&) = delete;

    // Takes the device (deleting it later with Cleanup_Delete); a device attached before is
    // closed and destroyed. Throws LogicalErrorException for a device of the wrong class (the
    // device is then deleted when ownership was offered).
    void Attach(Device* device, ECleanup cleanup = Cleanup_Delete);
    bool IsPylonDeviceAttached() const;
    bool IsCameraDeviceRemoved() const;
    // Closes and lets go of the device without deleting it.
    Device* DetachDevice();
    // Closes and deletes (with Cleanup_Delete) the device.
    void DestroyDevice();
    Device* GetDevice() const;

    // Throws LogicalErrorException without a device and what the device throws.
    void Open();
    // Stops grabbing and closes; nothing happens when closed.
    void Close();
    bool IsOpen() const;

    // The device's features; throws LogicalErrorException when no device is attached or it is
    // not open.
    INodeMap& GetNodeMap();
    // The transport layer's settings; needs an attached device.
    INodeMap& GetTLNodeMap();
    // The camera's own settings: MaxNumBuffer, NumReadyBuffers, NumQueuedBuffers.
    INodeMap& GetInstantCameraNodeMap();
    // Needs an attached device.
    const DeviceInfo& GetDeviceInfo() const;

    // Grab buffers come from the factory from the next StartGrabbing on. With Cleanup_Delete the
    // camera calls DestroyBufferFactory when it lets go of it.
    void SetBufferFactory(IBufferFactory* factory, ECleanup cleanup = Cleanup_Delete);

    void RegisterImageEventHandler(ImageEventHandler* handler,
                                   ERegistrationMode mode = RegistrationMode_Append,
                                   ECleanup cleanup = Cleanup_Delete);
    bool DeregisterImageEventHandler(ImageEventHandler* handler);
    void RegisterConfiguration(ConfigurationEventHandler* handler,
                               ERegistrationMode mode = RegistrationMode_Append,
                               ECleanup cleanup = Cleanup_Delete);
    bool DeregisterConfiguration(ConfigurationEventHandler* handler);

    void SetCameraContext(intptr_t context) { mCameraContext = context; }
    intptr_t GetCameraContext() const { return mCameraContext; }

    void SetMaxNumBuffer(size_t count);
    size_t GetMaxNumBuffer() const;
    size_t GetNumReadyBuffers() const;
    size_t GetNumQueuedBuffers() const;

    // Grabbing (see the class comment). Only GrabStrategy_OneByOne and GrabLoop_ProvidedByUser
    // are offered; others throw InvalidArgumentException. Throws LogicalErrorException when not
    // open, and what the device or the buffer factory throws. Starting while grabbing does
    // nothing.
    void StartGrabbing(EGrabStrategy strategy = GrabStrategy_OneByOne,
                       EGrabLoop loop = GrabLoop_ProvidedByUser);
    void StartGrabbing(size_t maxImages, EGrabStrategy strategy = GrabStrategy_OneByOne,
                       EGrabLoop loop = GrabLoop_ProvidedByUser);
    void StopGrabbing();
    bool IsGrabbing() const;
    // Waits up to timeoutMs for a result. On time-out returns false, or throws TimeoutException
    // with TimeoutHandling_ThrowException. Throws LogicalErrorException when not grabbing.
    bool RetrieveResult(unsigned int timeoutMs, GrabResultPtr& result,
                        ETimeoutHandling handling = TimeoutHandling_ThrowException);
    // Signalled while results are waiting to be retrieved; valid for the camera's lifetime.
    const WaitObject& GetGrabResultWaitObject() const;
    // Runs the "TriggerSoftware" command of the device.
    void ExecuteSoftwareTrigger();

  protected:
    // The device class this kind of camera accepts; null accepts any.
    virtual const char* GetAcceptedDeviceClass() const { return nullptr; }

  private:
    struct Registered;

    void ReleaseDevice(bool destroy);
    void ReportSkipped(const char* message);
    void OnDeviceRemoved();
    using ImageHandlerList = std::vector<ImageEventHandler*>;

    std::vector<ConfigurationEventHandler*> ConfigurationHandlers() const;
    std::shared_ptr<const ImageHandlerList> ImageHandlers() const;
    // Replaces the snapshot after a change of mImageHandlers; mHandlerMutex held.
    void PublishImageHandlers();
    void ReleaseFactory();

    mutable std::recursive_mutex mMutex;
    Device* mDevice = nullptr;
    bool mDeviceOwned = false;
    IBufferFactory* mFactory = nullptr;
    ECleanup mFactoryCleanup = Cleanup_None;
    std::shared_ptr<GrabEngine> mEngine;
    std::unique_ptr<MemoryNodeMap> mCameraNodeMap;

    mutable std::mutex mHandlerMutex;
    std::vector<std::unique_ptr<Registered>> mConfigurationHandlers;  // guarded by mHandlerMutex
    std::vector<std::unique_ptr<Registered>> mImageHandlers;          // guarded by mHandlerMutex
    // The handlers of mImageHandlers, in order; null when there are none. The list is never
    // changed, only the pointer is replaced (guarded by mHandlerMutex).
    std::shared_ptr<const ImageHandlerList> mImageHandlerSnapshot;

    std::atomic<intptr_t> mCameraContext{0};
    std::atomic<bool> mRemoved{false};

  public:
    // Camera settings as members (after the node map they live in).
    IntegerParameter MaxNumBuffer;
    IntegerParameter NumReadyBuffers;
    IntegerParameter NumQueuedBuffers;
};

}  // namespace sdk
