#include "sdk/grab/InstantCamera.h"

#include <algorithm>
#include <string>

#include "sdk/genapi/GenApi.h"
#include "sdk/grab/ConfigurationEventHandler.h"
#include "sdk/grab/GrabEngine.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/IBufferFactory.h"
#include "sdk/grab/ImageEventHandler.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

// A registered handler and whether the camera deletes it.
struct InstantCamera::Registered {
    ConfigurationEventHandler* configuration = nullptr;
    ImageEventHandler* image = nullptr;
    ECleanup cleanup = Cleanup_None;

    ~Registered() {
        if (cleanup == Cleanup_Delete) {
            delete configuration;
            delete image;
        }
    }
};

namespace {

std::unique_ptr<MemoryNodeMap> BuildCameraNodeMap(const std::shared_ptr<GrabEngine>& engine) {
    auto map = std::make_unique<MemoryNodeMap>("InstantCamera");
    map->Add<IntegerNode>("MaxNumBuffer").SetRange(1, 1024).Initialize(10);
    std::weak_ptr<GrabEngine> weak = engine;
    map->Add<IntegerNode>("NumReadyBuffers")
        .SetValueProvider([weak]() -> int64_t {
            const auto e = weak.lock();
            return e ? static_cast<int64_t>(e->NumReadyBuffers()) : 0;
        })
        .SetAccessMode(RO);
    map->Add<IntegerNode>("NumQueuedBuffers")
        .SetValueProvider([weak]() -> int64_t {
            const auto e = weak.lock();
            return e ? static_cast<int64_t>(e->NumQueuedBuffers()) : 0;
        })
        .SetAccessMode(RO);
    return map;
}

}  // namespace

InstantCamera::InstantCamera()
    : mEngine(std::make_shared<GrabEngine>()),
      mCameraNodeMap(BuildCameraNodeMap(mEngine)),
      MaxNumBuffer(*mCameraNodeMap, "MaxNumBuffer"),
      NumReadyBuffers(*mCameraNodeMap, "NumReadyBuffers"),
      NumQueuedBuffers(*mCameraNodeMap, "NumQueuedBuffers") {}

InstantCamera::InstantCamera(Device* device, ECleanup cleanup) : InstantCamera() {
    Attach(device, cleanup);
}

InstantCamera::~InstantCamera() {
    try {
        DestroyDevice();
    } catch (...) {
    }
    ReleaseFactory();
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnConfigurationDeregistered(*this);
    }
    std::lock_guard<std::mutex> lock(mHandlerMutex);
    mConfigurationHandlers.clear();
    mImageHandlers.clear();
    mImageHandlerSnapshot.reset();
}

void InstantCamera::Attach(Device* device, ECleanup cleanup) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    const char* accepted = GetAcceptedDeviceClass();
    if (device && accepted && device->GetDeviceInfo().GetDeviceClass() != accepted) {
        const std::string cls = device->GetDeviceInfo().GetDeviceClass();
        if (cleanup == Cleanup_Delete) {
            delete device;
        }
        throw LogicalErrorException(
            "A device of class '" + cls + "' cannot be attached to a camera for '" + accepted + "'",
            __FILE__, __LINE__);
    }
    if (device == mDevice) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnAttach(*this);
    }
    DestroyDevice();
    mDevice = device;
    mDeviceOwned = cleanup == Cleanup_Delete;
    mRemoved = false;
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnAttached(*this);
    }
}

bool InstantCamera::IsPylonDeviceAttached() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mDevice != nullptr;
}

bool InstantCamera::IsCameraDeviceRemoved() const {
    return mRemoved;
}

Device* InstantCamera::GetDevice() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mDevice;
}

Device* InstantCamera::DetachDevice() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    Device* device = mDevice;
    if (device) {
        for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
            handler->OnDetach(*this);
        }
        ReleaseDevice(false);
        for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
            handler->OnDetached(*this);
        }
    }
    return device;
}

void InstantCamera::DestroyDevice() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnDestroy(*this);
    }
    ReleaseDevice(mDeviceOwned);
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnDestroyed(*this);
    }
}

void InstantCamera::ReleaseDevice(bool destroy) {
    Close();
    // Waits for a removal call in progress (unless this is it).
    mDevice->SetRemovalCallback(nullptr);
    if (destroy) {
        delete mDevice;
    }
    mDevice = nullptr;
    mDeviceOwned = false;
}

void InstantCamera::Open() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice) {
        throw LogicalErrorException("Open: no device is attached", __FILE__, __LINE__);
    }
    if (mDevice->IsOpen()) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnOpen(*this);
    }
    mDevice->Open();
    mRemoved = false;
    mDevice->SetRemovalCallback([this]() { OnDeviceRemoved(); });
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnOpened(*this);
    }
}

void InstantCamera::Close() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice || !mDevice->IsOpen()) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnClose(*this);
    }
    StopGrabbing();
    mDevice->Close();
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnClosed(*this);
    }
}

bool InstantCamera::IsOpen() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mDevice && mDevice->IsOpen();
}

INodeMap& InstantCamera::GetNodeMap() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice || !mDevice->IsOpen()) {
        throw LogicalErrorException("GetNodeMap: the camera is not open", __FILE__, __LINE__);
    }
    return mDevice->GetNodeMap();
}

INodeMap& InstantCamera::GetTLNodeMap() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice) {
        throw LogicalErrorException("GetTLNodeMap: no device is attached", __FILE__, __LINE__);
    }
    return mDevice->GetTLNodeMap();
}

INodeMap& InstantCamera::GetInstantCameraNodeMap() {
    return *mCameraNodeMap;
}

const DeviceInfo& InstantCamera::GetDeviceInfo() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice) {
        throw LogicalErrorException("GetDeviceInfo: no device is attached", __FILE__, __LINE__);
    }
    return mDevice->GetDeviceInfo();
}

void InstantCamera::SetBufferFactory(IBufferFactory* factory, ECleanup cleanup) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (factory == mFactory) {
        mFactoryCleanup = cleanup;
        return;
    }
    ReleaseFactory();
    mFactory = factory;
    mFactoryCleanup = cleanup;
}

void InstantCamera::ReleaseFactory() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mFactory && mFactoryCleanup == Cleanup_Delete) {
        mFactory->DestroyBufferFactory();
    }
    mFactory = nullptr;
}

void InstantCamera::RegisterImageEventHandler(ImageEventHandler* handler, ERegistrationMode mode,
                                              ECleanup cleanup) {
    std::vector<std::unique_ptr<Registered>> dropped;
    {
        std::lock_guard<std::mutex> lock(mHandlerMutex);
        if (mode == RegistrationMode_ReplaceAll) {
            dropped.swap(mImageHandlers);
        }
        if (handler) {
            auto entry = std::make_unique<Registered>();
            entry->image = handler;
            entry->cleanup = cleanup;
            mImageHandlers.push_back(std::move(entry));
        }
        PublishImageHandlers();
    }
    for (const auto& entry : dropped) {
        entry->image->OnImageEventHandlerDeregistered(*this);
    }
    if (handler) {
        handler->OnImageEventHandlerRegistered(*this);
    }
}

bool InstantCamera::DeregisterImageEventHandler(ImageEventHandler* handler) {
    std::unique_ptr<Registered> dropped;
    {
        std::lock_guard<std::mutex> lock(mHandlerMutex);
        auto it = std::find_if(mImageHandlers.begin(), mImageHandlers.end(),
                               [handler](const auto& e) { return e->image == handler; });
        if (it == mImageHandlers.end()) {
            return false;
        }
        dropped = std::move(*it);
        mImageHandlers.erase(it);
        PublishImageHandlers();
    }
    handler->OnImageEventHandlerDeregistered(*this);
    return true;
}

void InstantCamera::RegisterConfiguration(ConfigurationEventHandler* handler,
                                          ERegistrationMode mode, ECleanup cleanup) {
    std::vector<std::unique_ptr<Registered>> dropped;
    {
        std::lock_guard<std::mutex> lock(mHandlerMutex);
        if (mode == RegistrationMode_ReplaceAll) {
            dropped.swap(mConfigurationHandlers);
        }
        if (handler) {
            auto entry = std::make_unique<Registered>();
            entry->configuration = handler;
            entry->cleanup = cleanup;
            mConfigurationHandlers.push_back(std::move(entry));
        }
    }
    for (const auto& entry : dropped) {
        entry->configuration->OnConfigurationDeregistered(*this);
    }
    if (handler) {
        handler->OnConfigurationRegistered(*this);
    }
}

bool InstantCamera::DeregisterConfiguration(ConfigurationEventHandler* handler) {
    std::unique_ptr<Registered> dropped;
    {
        std::lock_guard<std::mutex> lock(mHandlerMutex);
        auto it = std::find_if(mConfigurationHandlers.begin(), mConfigurationHandlers.end(),
                               [handler](const auto& e) { return e->configuration == handler; });
        if (it == mConfigurationHandlers.end()) {
            return false;
        }
        dropped = std::move(*it);
        mConfigurationHandlers.erase(it);
    }
    handler->OnConfigurationDeregistered(*this);
    return true;
}

std::vector<ConfigurationEventHandler*> InstantCamera::ConfigurationHandlers() const {
    std::lock_guard<std::mutex> lock(mHandlerMutex);
    std::vector<ConfigurationEventHandler*> handlers;
    for (const auto& entry : mConfigurationHandlers) {
        handlers.push_back(entry->configuration);
    }
    return handlers;
}

std::shared_ptr<const InstantCamera::ImageHandlerList> InstantCamera::ImageHandlers() const {
    std::lock_guard<std::mutex> lock(mHandlerMutex);
    return mImageHandlerSnapshot;  // a reference count, no copy of the list
}

void InstantCamera::PublishImageHandlers() {
    if (mImageHandlers.empty()) {
        mImageHandlerSnapshot.reset();
        return;
    }
    auto handlers = std::make_shared<ImageHandlerList>();
    handlers->reserve(mImageHandlers.size());
    for (const auto& entry : mImageHandlers) {
        handlers->push_back(entry->image);
    }
    mImageHandlerSnapshot = std::move(handlers);
}

void InstantCamera::OnDeviceRemoved() {
    mRemoved = true;
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnCameraDeviceRemoved(*this);
    }
}

void InstantCamera::SetMaxNumBuffer(size_t count) {
    MaxNumBuffer.SetValue(static_cast<int64_t>(count));
}

size_t InstantCamera::GetMaxNumBuffer() const {
    return static_cast<size_t>(MaxNumBuffer.GetValue());
}

size_t InstantCamera::GetNumReadyBuffers() const {
    return mEngine->NumReadyBuffers();
}

size_t InstantCamera::GetNumQueuedBuffers() const {
    return mEngine->NumQueuedBuffers();
}

void InstantCamera::StartGrabbing(EGrabStrategy strategy, EGrabLoop loop) {
    StartGrabbing(GrabEngine::kUnlimited, strategy, loop);
}

void InstantCamera::StartGrabbing(size_t maxImages, EGrabStrategy strategy, EGrabLoop loop) {
    if (strategy != GrabStrategy_OneByOne || loop != GrabLoop_ProvidedByUser) {
        throw InvalidArgumentException(
            "StartGrabbing: only one-by-one grabbing with the caller's loop is offered", __FILE__,
            __LINE__);
    }
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mDevice || !mDevice->IsOpen()) {
        throw LogicalErrorException("StartGrabbing: the camera is not open", __FILE__, __LINE__);
    }
    if (mEngine->IsGrabbing()) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnGrabStart(*this);
    }
    mEngine->Start(*mDevice, mFactory, GetMaxNumBuffer(), maxImages);
    try {
        ICommand* start = As<ICommand>(mDevice->GetNodeMap().GetNode("AcquisitionStart"));
        if (IsWritable(start)) {
            start->Execute();
        } else {
            ReportSkipped(start ? "StartGrabbing: AcquisitionStart is not writable, skipped"
                                : "StartGrabbing: the device has no AcquisitionStart, skipped");
        }
    } catch (...) {
        mEngine->Stop();
        throw;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnGrabStarted(*this);
    }
}

void InstantCamera::StopGrabbing() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mEngine->IsGrabbing()) {
        return;
    }
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnGrabStop(*this);
    }
    // A removed device has nothing to stop, and asking it (its command's availability is read
    // from the device) only fails or waits for a time-out.
    if (mDevice && mDevice->IsOpen() && !mRemoved) {
        try {
            ICommand* stop = As<ICommand>(mDevice->GetNodeMap().GetNode("AcquisitionStop"));
            if (IsWritable(stop)) {
                stop->Execute();
            } else {
                ReportSkipped(stop ? "StopGrabbing: AcquisitionStop is not writable, skipped"
                                   : "StopGrabbing: the device has no AcquisitionStop, skipped");
            }
        } catch (const GenericException&) {
            // The buffers are taken back below in any case.
        }
    }
    mEngine->Stop();
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnGrabStopped(*this);
    }
}

void InstantCamera::ReportSkipped(const char* message) {
    for (ConfigurationEventHandler* handler : ConfigurationHandlers()) {
        handler->OnGrabError(*this, message);
    }
}

bool InstantCamera::IsGrabbing() const {
    return mEngine->IsGrabbing();
}

bool InstantCamera::RetrieveResult(unsigned int timeoutMs, GrabResultPtr& result,
                                   ETimeoutHandling handling) {
    // Results that are still waiting can be taken after grabbing stopped by itself.
    if (!mEngine->IsGrabbing() && mEngine->NumReadyBuffers() == 0) {
        result.Release();
        throw LogicalErrorException("RetrieveResult: the camera is not grabbing", __FILE__,
                                    __LINE__);
    }
    if (!mEngine->Retrieve(timeoutMs, result, mCameraContext)) {
        if (handling == TimeoutHandling_ThrowException) {
            throw TimeoutException(
                "RetrieveResult: no result within " + std::to_string(timeoutMs) + " ms", __FILE__,
                __LINE__);
        }
        return false;
    }
    if (const std::shared_ptr<const ImageHandlerList> handlers = ImageHandlers()) {
        for (ImageEventHandler* handler : *handlers) {
            handler->OnImageGrabbed(*this, result);
        }
    }
    return true;
}

const WaitObject& InstantCamera::GetGrabResultWaitObject() const {
    return mEngine->GetWaitObject();
}

void InstantCamera::ExecuteSoftwareTrigger() {
    ICommand* trigger = As<ICommand>(GetNodeMap().GetNode("TriggerSoftware"));
    if (!trigger) {
        throw LogicalErrorException("ExecuteSoftwareTrigger: the device has no software trigger",
                                    __FILE__, __LINE__);
    }
    trigger->Execute();
}

}  // namespace sdk
