#include "sdk/sim/SimDevice.h"

#include <sys/stat.h>

#include "sdk/CommandNode.h"
#include "sdk/GenericException.h"
#include "sdk/IntegerNode.h"
#include "sdk/StringNode.h"
#include "sdk/sim/SimCameraFile.h"
#include "sdk/sim/SimFeatureTree.h"
#include "sdk/sim/SimRemovalWatcher.h"
#include "sdk/sim/SimStream.h"

namespace sdk {

SimDevice::SimDevice(const DeviceInfo& info, const std::string& path, const SimCameraFile& file)
    : mInfo(info),
      mPath(path),
      mGigE(info.GetDeviceClass() == DeviceInfo::kClassGigE),
      mNodes(info.GetModelName()),
      mTLNodes(info.GetModelName() + " transport layer"),
      mWatcher(std::make_unique<SimRemovalWatcher>(path)) {
    const SimFeatureTree::Model model =
        SimFeatureTree::MakeModel(mGigE, file.GetModel(), file.GetSerial(), file.IsColor());
    SimFeatureTree::BuildDeviceMap(mNodes, model);
    SimFeatureTree::BuildTransportLayerMap(mTLNodes, model);
    for (const SimCameraFile::Setting& s : file.GetSettings()) {
        if (!mNodes.ApplyInitialValue(s.feature, s.selectorEntry, s.value)) {
            mTLNodes.ApplyInitialValue(s.feature, s.selectorEntry, s.value);
        }
    }
    SimFeatureTree::Normalize(mNodes);

    mStream = std::make_unique<SimStream>(mNodes, mGigE);
    SimStream* stream = mStream.get();
    mNodes.Get<CommandNode>("AcquisitionStart").SetExecuteHandler([stream] {
        stream->AcquisitionStart();
    });
    mNodes.Get<CommandNode>("AcquisitionStop").SetExecuteHandler([stream] {
        stream->AcquisitionStop();
    });
    mNodes.Get<CommandNode>("TriggerSoftware").SetExecuteHandler([stream] {
        stream->SoftwareTrigger();
    });
    if (mGigE) {
        SimRemovalWatcher* watcher = mWatcher.get();
        IntegerNode& heartbeat = mTLNodes.Get<IntegerNode>("HeartbeatTimeout");
        heartbeat.AddWriteListener(
            [watcher, &heartbeat] { watcher->SetTimeout(heartbeat.ReadRaw()); });
    }
}

SimDevice::~SimDevice() {
    Close();
    mWatcher->SetCallback(nullptr);
}

int64_t SimDevice::RemovalTimeoutMs() const {
    if (!mGigE) {
        return kUsbRemovalTimeoutMs;
    }
    return static_cast<const IntegerNode&>(mTLNodes.Get<IntegerNode>("HeartbeatTimeout")).ReadRaw();
}

void SimDevice::Open() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mOpen) {
        return;
    }
    struct stat info;
    if (::stat(mPath.c_str(), &info) != 0) {
        throw RuntimeException("The device '" + mInfo.GetFriendlyName() + "' is not available (" +
                                   mPath + " is missing)",
                               __FILE__, __LINE__);
    }
    mStream->Reset();
    mWatcher->Start(RemovalTimeoutMs());
    mOpen = true;
}

void SimDevice::Close() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mOpen) {
        return;
    }
    mStream->Stop();
    mWatcher->Stop();
    mOpen = false;
}

bool SimDevice::IsRemoved() const {
    return mWatcher->IsRemoved();
}

void SimDevice::SetRemovalCallback(std::function<void()> callback) {
    mWatcher->SetCallback(std::move(callback));
}

size_t SimDevice::GetPayloadSize() {
    return static_cast<size_t>(mNodes.Get<IntegerNode>("PayloadSize").ReadRaw());
}

void SimDevice::StartStreaming(IStreamSink& sink) {
    if (!mOpen) {
        throw LogicalErrorException("StartStreaming: the device is not open", __FILE__, __LINE__);
    }
    if (IsRemoved()) {
        throw RuntimeException(
            "StartStreaming: the device '" + mInfo.GetFriendlyName() + "' has been removed",
            __FILE__, __LINE__);
    }
    mStream->Start(sink);
}

void SimDevice::QueueBuffer(void* data, size_t size, uint64_t handle) {
    mStream->Queue(data, size, handle);
}

void SimDevice::StopStreaming() {
    mStream->Stop();
}

}  // namespace sdk
