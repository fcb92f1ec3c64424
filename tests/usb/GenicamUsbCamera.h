#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "GenicamMemoryCamera.h"

// A GenICam description served as a USB3 Vision camera on the emulated bus (emulator/): the
// registers are GenicamMemoryCamera's, seeded as the in-process bed seeds them, the frames are
// BedFrame's ramp at the size NextFrame() tells. In SingleFrame mode an acquisition ends after
// one frame, in MultiFrame mode after AcquisitionFrameCount frames, as cameras do. The USB strings
// are vendor "Ostravelk", model the file's name, and the serial.
//
// Threading: the emulator calls the callbacks from its threads; the members are thread-safe
// through GenicamMemoryCamera and the emulator.
class GenicamUsbCamera {
  public:
    // Plugs the camera in. Throws std::runtime_error when the file cannot be served.
    GenicamUsbCamera(const std::string& xmlPath, const std::string& serial,
                     unsigned framePeriodUs = 20000);
    // Takes the camera off the bus for good.
    ~GenicamUsbCamera();
    GenicamUsbCamera(const GenicamUsbCamera&) = delete;
    GenicamUsbCamera& operator=(const GenicamUsbCamera&) = delete;

    GenicamMemoryCamera& Registers() { return *mRegisters; }
    void Unplug();
    void Replug();
    uint64_t FramesSent() const;

  private:
    static int Read(void* user, uint64_t address, uint32_t size, void* out);
    static int Write(void* user, uint64_t address, uint32_t size, const void* in);
    static uint64_t PayloadSize(void* user);
    static int Frame(void* user, uint64_t index, struct OstravelkUsbFrame* frame, uint8_t* data,
                     size_t capacity);

    std::unique_ptr<GenicamMemoryCamera> mRegisters;
    int mNumber = -1;
    // Frames the acquisition has left in SingleFrame or MultiFrame mode; 0: no end.
    std::atomic<int64_t> mFramesLeft{0};
};
