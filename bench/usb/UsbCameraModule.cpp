// The camera module of the USB emulator for programs that know nothing of it (Aravis' own
// arv-camera-test-0.8 in run_usb_bench.sh): loaded by the emulator's libusb_init when
// OSTRAVELK_USB_CAMERA_MODULE names it, it plugs the camera of OSTRAVELK_USB_CAMERA_XML (serial
// OSTRAVELK_USB_CAMERA_SERIAL, default BENCH01, one frame per OSTRAVELK_USB_CAMERA_PERIOD_US,
// default 40000) and keeps it to the end of the process.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "GenicamUsbCamera.h"

namespace {

std::string Setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

struct Plug {
    Plug() {
        const std::string xml = Setting("OSTRAVELK_USB_CAMERA_XML", "");
        if (xml.empty()) {
            return;
        }
        try {
            camera = new GenicamUsbCamera(
                xml, Setting("OSTRAVELK_USB_CAMERA_SERIAL", "BENCH01"),
                static_cast<unsigned>(
                    std::atoi(Setting("OSTRAVELK_USB_CAMERA_PERIOD_US", "40000").c_str())));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "usb camera module: %s\n", e.what());
        }
    }
    // Never taken off the bus: the program's own threads may use the camera until it exits.
    GenicamUsbCamera* camera = nullptr;
};

const Plug gPlug;

}  // namespace
