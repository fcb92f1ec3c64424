#pragma once

#include <cstddef>
#include <cstdint>

namespace sdk {

// Source of grab buffers for an instant camera (InstantCamera::SetBufferFactory).
//
// Threading: AllocateBuffer is called on the thread that calls StartGrabbing; FreeBuffer on the
// thread that stops grabbing, or on the thread that releases the last GrabResultPtr of a buffer
// after grabbing stopped. Calls for one camera never overlap.
class IBufferFactory {
  public:
    virtual ~IBufferFactory() = default;

    // Provides a buffer of at least bufferSize bytes and a context value that comes back with it
    // (in FreeBuffer and GrabResult::GetBufferContext).
    virtual void AllocateBuffer(size_t bufferSize, void** createdBuffer,
                                intptr_t& bufferContext) = 0;
    virtual void FreeBuffer(void* createdBuffer, intptr_t bufferContext) = 0;
    // Called instead of deleting when the camera owns the factory (Cleanup_Delete) and lets go
    // of it.
    virtual void DestroyBufferFactory() = 0;
};

}  // namespace sdk
