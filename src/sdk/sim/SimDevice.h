#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/sim/SimCameraFile.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

class SimRemovalWatcher;
class SimStream;

// A simulated camera: the feature tree of its model with the file's initial values, a frame
// source and removal detection (the file gone for the heartbeat time-out on GigE, 200 ms on USB).
// Each device object starts from the file as it was at creation, like a camera after power-up;
// the file's pictures are decoded then. Every line of the file the device does not use is logged
// at level 1 (SdkLog) as "SimDevice::SimDevice: FILE line N: \"TEXT\" not used: WHY".
//
// Threading: see Device. mMutex guards the open state transitions; the node maps lock
// themselves.
class SimDevice : public Device {
  public:
    // Removal time-out of USB devices, which have no heartbeat setting.
    static constexpr int64_t kUsbRemovalTimeoutMs = 200;

    SimDevice(const DeviceInfo& info, const std::string& path, const SimCameraFile& file);
    ~SimDevice() override;

    const DeviceInfo& GetDeviceInfo() const override { return mInfo; }
    void Open() override;
    void Close() override;
    bool IsOpen() const override { return mOpen; }
    bool IsRemoved() const override;
    INodeMap& GetNodeMap() override { return mNodes; }
    INodeMap& GetTLNodeMap() override { return mTLNodes; }
    void SetRemovalCallback(std::function<void()> callback) override;
    size_t GetPayloadSize() override;
    void StartStreaming(IStreamSink& sink) override;
    void QueueBuffer(void* data, size_t size, uint64_t handle) override;
    void StopStreaming() override;

    // The file's lines this device did not use, in line order (logged at creation).
    const std::vector<SimCameraFile::UnusedLine>& GetUnusedLines() const { return mUnusedLines; }

  private:
    int64_t RemovalTimeoutMs() const;

    const DeviceInfo mInfo;
    const std::string mPath;
    const bool mGigE;
    MemoryNodeMap mNodes;
    MemoryNodeMap mTLNodes;
    std::vector<SimCameraFile::UnusedLine> mUnusedLines;
    std::unique_ptr<SimRemovalWatcher> mWatcher;
    std::unique_ptr<SimStream> mStream;
    std::mutex mMutex;
    std::atomic<bool> mOpen{false};
};

}  // namespace sdk
