#pragma once

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "sdk/aravis/AravisRemovalNotifier.h"
#include "sdk/aravis/AravisSupport.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

class AravisDeviceSource;
class AravisNodeMap;
class AravisStream;

// A GigE Vision or USB3 Vision camera reached through Aravis; the full name of its device info
// is the Aravis device id.
//
// Open connects (arv_open_device), wraps the GenICam tree (AravisNodeMap), writes the heartbeat
// time-out and starts watching for Aravis' "control-lost" signal, which becomes the removal
// callback. Streaming goes through AravisStream; StartStreaming sets "TLParamsLocked" to 1 where
// the tree has it writable (before the instant camera's "AcquisitionStart", which such cameras
// lock while it is 0) and StopStreaming sets it back to 0 after the stream ends; "AcquisitionStart"
// run through the node map reads the acquisition mode and makes the stream deliver one frame
// ("SingleFrame") or "AcquisitionFrameCount" frames ("MultiFrame") per acquisition; StopStreaming
// stops a running acquisition before the stream.
//
// Transport-layer node map: GigE devices have "HeartbeatTimeout" (integer, ms, 500 to
// 4294967295, 3000 at first); it is written to the device's "GevHeartbeatTimeout" feature, or
// to the GigE Vision heartbeat time-out register (0x0938) when the tree has no such feature, at
// every open and at every write while open that changes it. USB devices have no heartbeat node.
//
// Threading: see Device. mMutex guards the open state (mArv, mNodes, mStream, mToken,
// mSignalHandler); mOpen, mAcquiring and mQueueStream are atomics.
class AravisDevice : public Device {
  public:
    static constexpr uint32_t kHeartbeatRegister = 0x0938;
    static constexpr int64_t kDefaultHeartbeatMs = 3000;

    // Opens through source when given, else through Aravis' interfaces (arv_open_device).
    explicit AravisDevice(const DeviceInfo& info,
                          std::shared_ptr<AravisDeviceSource> source = nullptr);
    ~AravisDevice() override;

    const DeviceInfo& GetDeviceInfo() const override { return mInfo; }
    void Open() override;
    void Close() override;
    bool IsOpen() const override { return mOpen; }
    bool IsRemoved() const override;
    INodeMap& GetNodeMap() override;
    INodeMap& GetTLNodeMap() override { return mTLNodes; }
    void SetRemovalCallback(std::function<void()> callback) override;
    size_t GetPayloadSize() override;
    void StartStreaming(IStreamSink& sink) override;
    void QueueBuffer(void* data, size_t size, uint64_t handle) override;
    void StopStreaming() override;

    // The Aravis device while open (null when closed), for what the SDK interfaces do not
    // offer; use it from one thread at a time with the node map.
    ArvDevice* GetArvDevice() const { return mArv.Get(); }
    // The receive buffer of a GigE Vision stream's UDP socket while streaming, in bytes; 0 with
    // Aravis' packet socket or when not streaming.
    int GetStreamReceiveBufferBytes() const;

  private:
    // What the "control-lost" handler holds: the notifier's run and the node map's lost flag.
    struct LostSignal {
        AravisRemovalNotifier::Token token;
        std::shared_ptr<std::atomic<bool>> mapLost;
    };

    void OnCommand(const std::string& name);
    void LockTransportParameters(bool lock);
    void WriteHeartbeat(int64_t timeoutMs);
    static void OnControlLost(ArvDevice* device, gpointer data);
    static void FreeToken(gpointer data, GClosure* closure);

    const DeviceInfo mInfo;
    const std::shared_ptr<AravisDeviceSource> mSource;
    const bool mGigE;
    MemoryNodeMap mTLNodes;
    MemoryNodeMap mClosedNodes;  // what GetNodeMap gives while closed: no nodes
    AravisRemovalNotifier mNotifier;

    std::recursive_mutex mMutex;
    aravis::GRef<ArvDevice> mArv;
    std::unique_ptr<AravisNodeMap> mNodes;
    std::unique_ptr<AravisStream> mStream;
    // The stream for QueueBuffer, which must not take mMutex: StopStreaming holds it while
    // Aravis' stream thread finishes a callback into the grab engine, whose lock a caller of
    // QueueBuffer holds.
    std::atomic<AravisStream*> mQueueStream{nullptr};
    gulong mSignalHandler = 0;
    std::atomic<bool> mOpen{false};
    std::atomic<bool> mAcquiring{false};
    bool mParamsLocked = false;      // TLParamsLocked set by StartStreaming; guarded by mMutex
    int64_t mHeartbeatWritten = -1;  // the heartbeat time-out this open wrote; guarded by mMutex
};

}  // namespace sdk
