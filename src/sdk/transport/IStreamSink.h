#pragma once

#include <cstdint>

namespace sdk {

struct FrameInfo;

// Receiver of finished buffers; the grab engine of an instant camera implements it and hands it
// to Device::StartStreaming.
//
// Threading: the backend calls OnBufferDone on its own streaming thread, never after
// Device::StopStreaming has returned, and never for a buffer that was not queued since the last
// StartStreaming.
class IStreamSink {
  public:
    virtual ~IStreamSink() = default;

    // The buffer queued with this handle is filled (or failed); it now belongs to the sink again.
    virtual void OnBufferDone(uint64_t handle, const FrameInfo& info) = 0;
};

}  // namespace sdk
