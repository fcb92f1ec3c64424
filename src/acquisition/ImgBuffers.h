#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition/ImgBuffer.h"
#include "sdk/grab/IBufferFactory.h"
#include "sdk/image/ImageFormatConverter.h"

class AcquisitionCamera;

namespace sdk {
class GrabResultPtr;
}

// The camera's grab buffers and output image. As the SDK's buffer factory it hands out raw
// buffers from a pool that is reused across grabs; every retrieved grab result is converted into
// the one output image (8-bit mono or 24-bit colour, packed rows), from which the host reads rows.
//
// Threading: AllocateBuffer comes from the SDK on the host thread that starts grabbing, FreeBuffer
// on the thread that stops grabbing or drops the last result of a stopped run (often the image
// queue thread), so the two may overlap: mPoolMutex guards mPool and the buffers' mInUse. Init
// runs in the open (which may be a reopen while the host reads rows); Convert on the image queue
// thread; GetLine on host threads, at any time. mImageMutex guards the output image, the converter
// and their agreement with the geometry: Init and Convert hold it, and a host holds it
// (LockImage) from GetLine until it has copied its row, so a row is never read while the image is
// reallocated or half converted. The geometry is atomic besides, for readers that only report
// it. A frame of another format or size than the last one prepares the image again (Convert, on
// the image queue thread, under mImageMutex), so the geometry a host reads always belongs to the
// image it reads.
class ImgBuffers : public sdk::IBufferFactory {
  public:
    explicit ImgBuffers(AcquisitionCamera* camera);
    ~ImgBuffers() override;
    ImgBuffers(const ImgBuffers&) = delete;
    ImgBuffers& operator=(const ImgBuffers&) = delete;

    void AllocateBuffer(size_t bufferSize, void** createdBuffer, intptr_t& bufferContext) override;
    void FreeBuffer(void* createdBuffer, intptr_t bufferContext) override;
    void DestroyBufferFactory() override;

    // Reads the geometry and pixel format from the camera's parameters, sets up the converter
    // and sizes the output image. Throws on failure.
    void Init();
    // Converts one grab result into the output image, at the pixel format and size the result
    // carries (the output image, its geometry and the camera's pixel size follow a result that
    // differs from the last one), and records its block id in the camera.
    bool Convert(const sdk::GrabResultPtr& result);
    // Start of a row of the output image, or null (logged). Valid while LockImage() is held.
    const uint8_t* GetLine(int32_t row);
    std::unique_lock<std::mutex> LockImage() const {
        return std::unique_lock<std::mutex>(mImageMutex);
    }

    int32_t Width() const { return mWidth; }
    int32_t Height() const { return mHeight; }
    int32_t LineSize() const { return mLineSize; }
    // Bytes of the grab buffers last handed to the SDK (the payload size when grabbing started).
    size_t GrabBufferSize() const { return mGrabBufferSize; }
    size_t PoolSize() const {
        std::lock_guard<std::mutex> lock(mPoolMutex);
        return mPool.size();
    }

    mutable std::mutex mPoolMutex;
    mutable std::mutex mImageMutex;
    std::vector<std::unique_ptr<ImgBuffer>> mPool;  // only grows: element addresses are stable
    ImgBuffer mImage;
    // The geometry is read by the host's row read-out while a reopen may set it again.
    std::atomic<int32_t> mLineSize{0};
    std::atomic<int32_t> mWidth{0};
    std::atomic<int32_t> mHeight{0};
    sdk::ImageFormatConverter mConverter;
    AcquisitionCamera* mCamera;

  private:
    // Sets up the converter and the output image for frames of that pixel type and size, then
    // takes over the geometry; mImageMutex held. Throws (leaving no format prepared) when the
    // size is not positive or the converter would not fill the packed image exactly.
    void Prepare(uint32_t source, int32_t width, int32_t height, bool color);

    uint32_t mSource = sdk::ImageFormatConverter::kUndefinedPixelType;  // guarded by mImageMutex
    bool mUseBGR = false;  // colour byte order taken at Init; guarded by mImageMutex
    std::atomic<size_t> mGrabBufferSize{0};
};
