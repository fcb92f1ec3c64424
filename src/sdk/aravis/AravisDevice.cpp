#include "sdk/aravis/AravisDevice.h"

#include <string>
#include <vector>

#include "sdk/aravis/AravisDeviceSource.h"
#include "sdk/aravis/AravisNodeMap.h"
#include "sdk/aravis/AravisNodes.h"
#include "sdk/aravis/AravisStream.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/nodes/IntegerNode.h"

namespace sdk {

namespace {

// The chunk values a frame can carry: features named "Chunk..." that are numbers or booleans,
// without the chunk controls themselves.
std::vector<AravisStream::ChunkFeature> ChunkFeatures(const INodeMap& nodes) {
    std::vector<AravisStream::ChunkFeature> features;
    for (INode* node : nodes.GetNodes()) {
        const std::string name = node->GetName().str();
        if (name.compare(0, 5, "Chunk") != 0 || name == "ChunkModeActive" ||
            name == "ChunkEnable") {
            continue;
        }
        if (As<IInteger>(node)) {
            features.push_back({name, AravisStream::ChunkType::Integer});
        } else if (As<IFloat>(node)) {
            features.push_back({name, AravisStream::ChunkType::Float});
        } else if (As<IBoolean>(node)) {
            features.push_back({name, AravisStream::ChunkType::Boolean});
        }
    }
    return features;
}

}  // namespace

AravisDevice::AravisDevice(const DeviceInfo& info, std::shared_ptr<AravisDeviceSource> source)
    : mInfo(info),
      mSource(std::move(source)),
      mGigE(info.GetDeviceClass() == DeviceInfo::kClassGigE),
      mTLNodes(info.GetModelName() + " transport layer"),
      mClosedNodes(info.GetModelName()) {
    if (mGigE) {
        IntegerNode& heartbeat = mTLNodes.Add<IntegerNode>("HeartbeatTimeout");
        heartbeat.SetRange(500, 0xFFFFFFFFLL).SetUnit("ms").Initialize(kDefaultHeartbeatMs);
        heartbeat.SetDescription("Time-out of the device's heartbeat in ms");
        heartbeat.AddWriteListener([this, &heartbeat] {
            std::lock_guard<std::recursive_mutex> lock(mMutex);
            // The device holds what this open wrote last: writing it again would only make
            // the node map read the camera again.
            if (mOpen && heartbeat.ReadRaw() != mHeartbeatWritten) {
                WriteHeartbeat(heartbeat.ReadRaw());
            }
        });
    }
}

AravisDevice::~AravisDevice() {
    Close();
    mNotifier.SetCallback(nullptr);
}

void AravisDevice::Open() {
    // Read before taking mMutex: a write of the node takes the map's lock, then mMutex.
    const int64_t heartbeat =
        mGigE ? mTLNodes.Get<IntegerNode>("HeartbeatTimeout").ReadRaw() : kDefaultHeartbeatMs;
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mOpen) {
        return;
    }
    GError* error = nullptr;
    ArvDevice* device = mSource ? mSource->Open(mInfo.GetFullName(), &error)
                                : arv_open_device(mInfo.GetFullName().c_str(), &error);
    if (!device) {
        aravis::ThrowError(error, "The device '" + mInfo.GetFriendlyName() + "' is not available",
                           __FILE__, __LINE__);
    }
    g_clear_error(&error);
    mArv.Reset(device);
    try {
        mNodes = std::make_unique<AravisNodeMap>(device, mInfo.GetModelName());
        mNodes->SetCommandListener([this](const std::string& name) { OnCommand(name); });
        mStream = std::make_unique<AravisStream>(device, mGigE);
        mStream->SetChunkFeatures(ChunkFeatures(*mNodes));
        mStream->ResetBlockIds();
        mHeartbeatWritten = -1;
        if (mGigE) {
            WriteHeartbeat(heartbeat);
        }
        // What was written while opening is settled: the map starts from the camera as it is.
        mNodes->InvalidateNodes();
    } catch (...) {
        mStream.reset();
        mNodes.reset();
        mArv.Reset();
        throw;
    }
    auto* lost = new LostSignal{mNotifier.Start(), mNodes->LostFlag()};
    // A device the node map finds gone (a time-out, say) goes the way of a lost connection.
    mNodes->SetLostListener([token = lost->token] { AravisRemovalNotifier::Signal(token); });
    mSignalHandler = g_signal_connect_data(device, "control-lost", G_CALLBACK(&OnControlLost), lost,
                                           &FreeToken, GConnectFlags(0));
    mAcquiring = false;
    mParamsLocked = false;
    mQueueStream = mStream.get();
    mOpen = true;
}

void AravisDevice::Close() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mOpen) {
        return;
    }
    mOpen = false;
    StopStreaming();
    mQueueStream = nullptr;
    if (mSignalHandler) {
        g_signal_handler_disconnect(mArv.Get(), mSignalHandler);
        mSignalHandler = 0;
    }
    mNotifier.Stop();
    mStream.reset();
    mNodes.reset();
    mArv.Reset();
}

bool AravisDevice::IsRemoved() const {
    return mNotifier.IsRemoved();
}

INodeMap& AravisDevice::GetNodeMap() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mNodes) {
        return mClosedNodes;
    }
    return *mNodes;
}

void AravisDevice::SetRemovalCallback(std::function<void()> callback) {
    mNotifier.SetCallback(std::move(callback));
}

void AravisDevice::OnControlLost(ArvDevice*, gpointer data) {
    auto* lost = static_cast<LostSignal*>(data);
    lost->mapLost->store(true);
    AravisRemovalNotifier::Signal(lost->token);
}

void AravisDevice::FreeToken(gpointer data, GClosure*) {
    delete static_cast<LostSignal*>(data);
}

void AravisDevice::WriteHeartbeat(int64_t timeoutMs) {
    IInteger* feature = As<IInteger>(mNodes->GetNode("GevHeartbeatTimeout"));
    if (IsWritable(feature)) {
        feature->SetValue(timeoutMs);
        mHeartbeatWritten = timeoutMs;
        return;
    }
    GError* error = nullptr;
    if (!arv_device_write_register(mArv.Get(), kHeartbeatRegister, static_cast<guint32>(timeoutMs),
                                   &error)) {
        aravis::ThrowError(error, "HeartbeatTimeout cannot be written", __FILE__, __LINE__);
    }
    mHeartbeatWritten = timeoutMs;
}

// Runs under the node map's lock, before the command.
void AravisDevice::OnCommand(const std::string& name) {
    if (name == "AcquisitionStop") {
        mAcquiring = false;
        return;
    }
    if (name != "AcquisitionStart" || !mStream) {
        return;
    }
    uint64_t limit = 0;
    const IEnumeration* mode = As<IEnumeration>(mNodes->GetNode("AcquisitionMode"));
    if (IsReadable(mode)) {
        const std::string text = mode->ToString().str();
        if (text == "SingleFrame") {
            limit = 1;
        } else if (text == "MultiFrame") {
            const IInteger* count = As<IInteger>(mNodes->GetNode("AcquisitionFrameCount"));
            limit = IsReadable(count) && count->GetValue() > 0
                        ? static_cast<uint64_t>(count->GetValue())
                        : 0;
        }
    }
    mStream->BeginAcquisition(limit);
    mAcquiring = true;
}

size_t AravisDevice::GetPayloadSize() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mNodes) {
        throw LogicalErrorException("GetPayloadSize: the device is not open", __FILE__, __LINE__);
    }
    const IInteger* payload = As<IInteger>(mNodes->GetNode("PayloadSize"));
    if (IsReadable(payload)) {
        return static_cast<size_t>(payload->GetValue(false, true));
    }
    // Without PayloadSize a frame is its image: Width x Height pixels of the PixelFormat.
    const IInteger* width = As<IInteger>(mNodes->GetNode("Width"));
    const IInteger* height = As<IInteger>(mNodes->GetNode("Height"));
    const IEnumeration* format = As<IEnumeration>(mNodes->GetNode("PixelFormat"));
    if (!IsReadable(width) || !IsReadable(height) || !IsReadable(format)) {
        throw RuntimeException("The device '" + mInfo.GetFriendlyName() +
                                   "' has neither PayloadSize nor Width, Height and PixelFormat",
                               __FILE__, __LINE__);
    }
    const int64_t bits = ARV_PIXEL_FORMAT_BIT_PER_PIXEL(format->GetIntValue(false, true));
    const int64_t pixels = width->GetValue(false, true) * height->GetValue(false, true);
    return static_cast<size_t>((pixels * (bits > 0 ? bits : 8) + 7) / 8);
}

void AravisDevice::StartStreaming(IStreamSink& sink) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    CheckCanStartStreaming();
    const size_t payload = GetPayloadSize();
    LockTransportParameters(true);
    try {
        mStream->Start(sink, payload);
    } catch (...) {
        LockTransportParameters(false);
        throw;
    }
}

// Cameras that lock their acquisition commands while TLParamsLocked is 0 (and their size
// features while it is 1) get it set for the time of a stream, as GenICam transport layers do.
void AravisDevice::LockTransportParameters(bool lock) {
    if (!lock && !mParamsLocked) {
        return;
    }
    mParamsLocked = false;
    try {
        IInteger* locked = As<IInteger>(mNodes->GetNode("TLParamsLocked"));
        if (IsWritable(locked) && IsReadable(locked) && locked->GetValue() != (lock ? 1 : 0)) {
            locked->SetValue(lock ? 1 : 0);
        }
        mParamsLocked = lock && IsWritable(locked);
    } catch (const GenericException&) {
        if (lock) {
            throw;
        }
        // Unlocking follows the stream's end in any case.
    }
}

int AravisDevice::GetStreamReceiveBufferBytes() const {
    AravisStream* stream = mQueueStream.load();
    return stream ? stream->ReceiveBufferBytes() : 0;
}

void AravisDevice::QueueBuffer(void* data, size_t size, uint64_t handle) {
    AravisStream* stream = mQueueStream.load();
    if (!stream) {
        throw LogicalErrorException("QueueBuffer: the device is not open", __FILE__, __LINE__);
    }
    stream->Queue(data, size, handle);
}

void AravisDevice::StopStreaming() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mStream) {
        return;
    }
    // An acquisition the instant camera did not stop (it stops by itself after its last image)
    // would go on sending into no buffers.
    if (mAcquiring && mNodes && !IsRemoved()) {
        try {
            ICommand* stop = As<ICommand>(mNodes->GetNode("AcquisitionStop"));
            if (IsWritable(stop)) {
                stop->Execute();
            }
        } catch (const GenericException&) {
            // The stream is stopped below in any case.
        }
        mAcquiring = false;
    }
    mStream->Stop();
    if (mNodes && !IsRemoved()) {
        LockTransportParameters(false);
    }
}

}  // namespace sdk
