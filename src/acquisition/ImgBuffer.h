#pragma once

#include <cstdint>

// One heap block of bytes owned by this object: a raw grab buffer handed to the SDK, or the
// camera's output image. Never copied or moved while its block is alive (the SDK keeps both the
// block's and this object's address while it holds the buffer).
//
// Threading: used by the thread that starts/stops grabbing (pool buffers) or by the open and
// the image queue thread (output image); no lock.
class ImgBuffer {
  public:
    ImgBuffer() = default;
    virtual ~ImgBuffer();
    ImgBuffer(const ImgBuffer&) = delete;
    ImgBuffer& operator=(const ImgBuffer&) = delete;

    // Makes the block at least size bytes (a larger block is kept, nothing is cleared).
    // Throws std::runtime_error "ImgBuffer::Init ERROR: in use by pylon" while the SDK holds the
    // buffer and "ImgBuffer::Init size==0" for size 0.
    virtual void Init(int32_t size);
    // Frees the block and resets the fields.
    void Release();

    int32_t mSize = 0;
    uint8_t* mData = nullptr;
    bool mInUse = false;
};
