#include "sdk/aravis/AravisBackend.h"

#include <arv.h>

#include <thread>

#include "sdk/aravis/AravisDevice.h"
#include "sdk/aravis/AravisDeviceSource.h"
#include "sdk/aravis/AravisSupport.h"
#include "sdk/genapi/GenericException.h"

namespace sdk {

using aravis::Text;

namespace {

void AppendDevices(ArvInterface* iface, const char* deviceClass, DeviceInfoList& devices) {
    const unsigned count = arv_interface_get_n_devices(iface);
    for (unsigned i = 0; i < count; ++i) {
        const std::string id = Text(arv_interface_get_device_id(iface, i));
        if (id.empty()) {
            continue;
        }
        const std::string model = Text(arv_interface_get_device_model(iface, i));
        const std::string serial = Text(arv_interface_get_device_serial_nbr(iface, i));
        DeviceInfo info;
        info.SetDeviceClass(deviceClass)
            .SetModelName(model)
            .SetSerialNumber(serial)
            .SetVendorName(Text(arv_interface_get_device_vendor(iface, i)))
            .SetFriendlyName(model + " (" + serial + ")")
            .SetFullName(id)
            .SetBackendName(AravisBackend::kName);
        devices.push_back(info);
    }
}

}  // namespace

void AravisBackend::EnumerateDevices(DeviceInfoList& devices) {
    mSource = AravisDeviceSource::Installed();
    if (mSource) {
        DeviceInfoList served;
        mSource->Enumerate(served);
        for (DeviceInfo& info : served) {
            info.SetBackendName(kName);
        }
        mLast = served;
        devices.insert(devices.end(), served.begin(), served.end());
        return;
    }
    ArvInterface* usb = arv_uv_interface_get_instance();
    ArvInterface* gige = arv_gv_interface_get_instance();
    // GigE Vision discovery waits for a quiet second; USB3 Vision is asked meanwhile.
    std::thread usbScan([usb] { arv_interface_update_device_list(usb); });
    arv_interface_update_device_list(gige);
    usbScan.join();

    DeviceInfoList found;
    AppendDevices(usb, DeviceInfo::kClassUsb, found);
    AppendDevices(gige, DeviceInfo::kClassGigE, found);
    mLast = found;
    devices.insert(devices.end(), found.begin(), found.end());
}

std::unique_ptr<Device> AravisBackend::CreateDevice(const DeviceInfo& info) {
    const std::string& id = info.GetFullName();
    // Entries of another source (or of Aravis' interfaces) are not this source's devices.
    const DeviceInfo* found = AravisDeviceSource::Installed() == mSource ? FindLast(id) : nullptr;
    if (!found) {
        DeviceInfoList ignored;
        EnumerateDevices(ignored);
        found = FindLast(id);
    }
    if (id.empty() || !found) {
        throw RuntimeException("The device '" + id + "' is not available", __FILE__, __LINE__);
    }
    return std::make_unique<AravisDevice>(*found, mSource);
}

const DeviceInfo* AravisBackend::FindLast(const std::string& id) const {
    for (const DeviceInfo& device : mLast) {
        if (device.GetFullName() == id) {
            return &device;
        }
    }
    return nullptr;
}

std::unique_ptr<Backend> CreateAravisBackend() {
    return std::make_unique<AravisBackend>();
}

}  // namespace sdk
