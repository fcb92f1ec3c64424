#include "GenicamUsbCamera.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "BedFrame.h"
#include "emulator/UsbEmulator.h"

GenicamUsbCamera::GenicamUsbCamera(const std::string& xmlPath, const std::string& serial,
                                   unsigned framePeriodUs)
    : mRegisters(std::make_unique<GenicamMemoryCamera>(xmlPath, serial)) {
    OstravelkUsbCamera camera{};
    camera.vendor = "Ostravelk";
    camera.model = mRegisters->Model().c_str();
    camera.serial = serial.c_str();
    camera.xml = mRegisters->Xml().data();
    camera.xmlSize = mRegisters->Xml().size();
    camera.framePeriodUs = framePeriodUs;
    camera.user = this;
    camera.read = &Read;
    camera.write = &Write;
    camera.payloadSize = &PayloadSize;
    camera.frame = &Frame;
    mNumber = ostravelk_usb_plug(&camera);
    if (mNumber < 0) {
        throw std::runtime_error("the emulator refused " + xmlPath);
    }
}

GenicamUsbCamera::~GenicamUsbCamera() {
    ostravelk_usb_remove(mNumber);
}

void GenicamUsbCamera::Unplug() {
    ostravelk_usb_unplug(mNumber);
}

void GenicamUsbCamera::Replug() {
    ostravelk_usb_replug(mNumber);
}

uint64_t GenicamUsbCamera::FramesSent() const {
    return ostravelk_usb_frames_sent(mNumber);
}

int GenicamUsbCamera::Read(void* user, uint64_t address, uint32_t size, void* out) {
    auto* self = static_cast<GenicamUsbCamera*>(user);
    return self->mRegisters->ReadMemory(address, size, out, nullptr) ? 0 : -1;
}

int GenicamUsbCamera::Write(void* user, uint64_t address, uint32_t size, const void* in) {
    auto* self = static_cast<GenicamUsbCamera*>(user);
    switch (self->mRegisters->WriteAsHost(address, size, in)) {
        case GenicamMemoryCamera::Written::Start: {
            const std::string mode = self->mRegisters->ReadEntry("AcquisitionMode");
            self->mFramesLeft =
                mode == "SingleFrame" ? 1
                : mode == "MultiFrame"
                    ? std::max<int64_t>(1, self->mRegisters->ReadInteger("AcquisitionFrameCount"))
                    : 0;
            return OSTRAVELK_USB_STARTED;
        }
        case GenicamMemoryCamera::Written::Stop:
            return OSTRAVELK_USB_STOPPED;
        case GenicamMemoryCamera::Written::Plain:
            break;
    }
    return OSTRAVELK_USB_WRITTEN;
}

uint64_t GenicamUsbCamera::PayloadSize(void* user) {
    auto* self = static_cast<GenicamUsbCamera*>(user);
    const GenicamMemoryCamera::Frame frame = self->mRegisters->NextFrame();
    const int64_t image =
        frame.width * frame.height * ((ARV_PIXEL_FORMAT_BIT_PER_PIXEL(frame.format) + 7) / 8);
    return static_cast<uint64_t>(std::max(image, self->mRegisters->ReadInteger("PayloadSize")));
}

int GenicamUsbCamera::Frame(void* user, uint64_t index, OstravelkUsbFrame* frame, uint8_t* data,
                            size_t capacity) {
    auto* self = static_cast<GenicamUsbCamera*>(user);
    const GenicamMemoryCamera::Frame next = self->mRegisters->NextFrame();
    frame->width = static_cast<uint32_t>(next.width);
    frame->height = static_cast<uint32_t>(next.height);
    frame->pixelFormat = static_cast<uint32_t>(next.format);
    // Row y of the ramp is row 0 from pixel y on: one long row, copied from there.
    const auto base = static_cast<uint8_t>(index % 255);
    const size_t width = static_cast<size_t>(next.width);
    const std::vector<uint8_t> ramp = BedFrame::OutputRow(base, next.width + next.height, 0);
    for (size_t y = 0; y < static_cast<size_t>(next.height) && (y + 1) * width <= capacity; ++y) {
        std::memcpy(data + y * width, ramp.data() + y, width);
    }
    return self->mFramesLeft > 0 && --self->mFramesLeft == 0 ? 0 : 1;
}
