#pragma once

#include <cstdint>
#include <string>

class CameraParameters;

namespace sdk {
class WaitObject;
}

// What the image buffers and the image queue thread need of the camera they work for. The camera
// (Camera) lies above acquisition and implements this; acquisition reaches it only through here.
//
// Threading: each call comes from where its caller runs (see ImgBuffers and ImageQueueThread); the
// camera's own threading contract says what each one may touch.
class AcquisitionCamera {
  public:
    virtual ~AcquisitionCamera() = default;

    // The port the camera is bound to (-1 before), for log lines.
    virtual int GetPort() const = 0;

    // --- For the image buffers --------------------------------------------------------------
    // False for 8-bit output, true for 24-bit; throws before the pixel size is known.
    virtual bool IsColor() const = 0;
    // Whether frames of this pixel format (its name) are delivered as 8-bit mono images.
    virtual bool IsMonoFormat(const std::string& pixelFormat) const = 0;
    // The image's size and pixel format as the camera gives them.
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual std::string PixelFormatName() const = 0;
    // The working parameter set (the driver settings such as "UseBGR" come from it).
    virtual const CameraParameters& GetWorkingParameters() const = 0;
    // Records the bits per pixel of the output image (8 or 24).
    virtual void SetPixelSize(int bits) = 0;
    // Records the block id of the frame last converted.
    virtual void SetCurrentFrame(uint64_t blockId) = 0;

    // --- For the image queue thread ---------------------------------------------------------
    // What the thread waits on for grab results.
    virtual const sdk::WaitObject& GetGrabResultWaitObject() const = 0;
    // Called as the thread begins to wait: a stop from here on takes away the image the wait may
    // announce.
    virtual void BeginWaitForImage() = 0;
    // Takes a finished grab result without waiting and converts it; false when there was none.
    virtual bool RetrieveImage() = 0;
    // Counts one image delivered.
    virtual void CountFrame() = 0;
    // Calls the host's completion callback.
    virtual void InvokeCB() = 0;
};
