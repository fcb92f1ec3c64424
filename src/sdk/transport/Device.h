#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace sdk {

class DeviceInfo;
class INodeMap;
class IStreamSink;

// One camera as a backend presents it: what TlFactory::CreateDevice returns and
// InstantCamera::Attach takes (the camera then owns and deletes it). Users of the SDK only pass it
// on; the instant camera drives it.
//
// Streaming seam, used by the instant camera's grab engine:
//   GetPayloadSize()           bytes one buffer needs for the current settings;
//   StartStreaming(sink)       arms the backend; nothing is filled before buffers are queued;
//   QueueBuffer(...)           hands one buffer to the backend; any thread, any time while armed;
//   StopStreaming()            disarms; afterwards no buffer is touched and no sink call runs,
//                              and every buffer still queued belongs to the caller again.
// The device fills queued buffers in queue order while acquisition runs (the node map's
// "AcquisitionStart"/"AcquisitionStop" commands, issued by the grab engine) and reports each
// through IStreamSink::OnBufferDone on its own thread.
//
// Removal: once open, the backend watches the device; when it disappears the callback set by
// SetRemovalCallback runs once, on a backend thread. Clearing the callback (empty function) waits
// for a callback in progress unless it is called from inside that callback.
//
// Threading: Open/Close/streaming calls come from the instant camera's callers (one at a time);
// node maps may be used from any thread.
class Device {
  public:
    virtual ~Device() = default;

    virtual const DeviceInfo& GetDeviceInfo() const = 0;

    // Throws RuntimeException when the device cannot be opened (for example it is gone).
    virtual void Open() = 0;
    // Stops streaming and closes; does nothing when closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // True once the device was found missing.
    virtual bool IsRemoved() const = 0;

    // The device's features; meaningful while open.
    virtual INodeMap& GetNodeMap() = 0;
    // The transport layer's settings (e.g. "HeartbeatTimeout" of GigE devices); always usable.
    virtual INodeMap& GetTLNodeMap() = 0;

    virtual void SetRemovalCallback(std::function<void()> callback) = 0;

    virtual size_t GetPayloadSize() = 0;
    virtual void StartStreaming(IStreamSink& sink) = 0;
    virtual void QueueBuffer(void* data, size_t size, uint64_t handle) = 0;
    virtual void StopStreaming() = 0;

  protected:
    // What every StartStreaming checks first: throws LogicalErrorException when the device is
    // not open and RuntimeException when it has been removed.
    void CheckCanStartStreaming() const;
};

}  // namespace sdk
