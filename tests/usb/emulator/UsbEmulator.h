#pragma once

#include <stddef.h>
#include <stdint.h>

// The device side of the USB emulator (libusb-1.0.so.0 of the tests): USB3 Vision cameras
// plugged into an emulated bus that Aravis reaches through the libusb calls it makes. The
// emulator answers the bootstrap registers, the manifest, the GenICam file and the stream
// interface itself; every other register and the frames' pixels come from the camera's
// callbacks. Plain C, so that any test or tool can plug a camera.
//
// Threading: every function may be called from any thread. The callbacks of one camera are
// called from the emulator's threads and from the threads of Aravis' transfers, one at a time.
#ifdef __cplusplus
extern "C" {
#endif

enum {
    OSTRAVELK_USB_WRITTEN = 0,       // a plain register write
    OSTRAVELK_USB_STARTED = 1,       // the write started acquisition
    OSTRAVELK_USB_STOPPED = 2,       // the write stopped acquisition
    OSTRAVELK_USB_WRITE_FAILED = -1  // the camera refused the write
};

typedef struct OstravelkUsbFrame {
    uint32_t width;
    uint32_t height;
    uint32_t pixelFormat;  // PFNC value
} OstravelkUsbFrame;

typedef struct OstravelkUsbCamera {
    const char* vendor;  // the USB strings; copied when plugged
    const char* model;
    const char* serial;
    const char* xml;  // the GenICam file (uncompressed); copied when plugged
    size_t xmlSize;
    unsigned framePeriodUs;  // time between frames while acquiring; 0: as fast as they are read
    void* user;
    // The registers outside the bootstrap registers: 0 on success, -1 on failure.
    int (*read)(void* user, uint64_t address, uint32_t size, void* out);
    // One of the OSTRAVELK_USB_ values above.
    int (*write)(void* user, uint64_t address, uint32_t size, const void* in);
    // The bytes a frame's payload needs now (the PayloadSize a host allocates).
    uint64_t (*payloadSize)(void* user);
    // The next frame (the index counts from 0 per camera): its geometry, and its pixels drawn
    // into data (capacity bytes, zeroed beforehand). Returns 0 when the acquisition ends with
    // this frame (a camera in SingleFrame or MultiFrame mode stops by itself), else 1.
    int (*frame)(void* user, uint64_t index, OstravelkUsbFrame* frame, uint8_t* data,
                 size_t capacity);
} OstravelkUsbCamera;

// Plugs a camera in; its number (>= 0), or -1 when the description is incomplete.
int ostravelk_usb_plug(const OstravelkUsbCamera* camera);
// Unplugs a camera: it leaves the device list, its transfers fail and its pending ones end.
void ostravelk_usb_unplug(int camera);
// Plugs an unplugged camera back in (a new device on the bus, its registers as they were).
void ostravelk_usb_replug(int camera);
// Unplugs (if needed) and forgets the camera; its callbacks are not called any more.
void ostravelk_usb_remove(int camera);
// Frames the camera has sent whole since it was plugged.
uint64_t ostravelk_usb_frames_sent(int camera);

#ifdef __cplusplus
}
#endif
