#pragma once

#include <arv.h>

#include <memory>
#include <string>

#include "sdk/transport/DeviceInfo.h"

namespace sdk {

// Where the Aravis backend finds its devices instead of Aravis' own interfaces: devices served
// in process over Aravis' GenICam parser (test beds, tools). Installed, it replaces discovery on
// the USB3 Vision and GigE Vision interfaces; removed (null), Aravis' interfaces are used again.
//
// Threading: Enumerate and Open are called under the TlFactory's lock, Open also from the
// reopen thread of the camera list; implementations are thread-safe.
class AravisDeviceSource {
  public:
    virtual ~AravisDeviceSource() = default;

    // Appends the devices present now. Each entry's full name is the id Open takes; the
    // backend sets the backend name.
    virtual void Enumerate(DeviceInfoList& devices) = 0;
    // A new connection to the device of the id (the caller owns the reference), or null with
    // the error set when the device is not present.
    virtual ArvDevice* Open(const std::string& id, GError** error) = 0;

    // The source the backend uses from the next enumeration on (null: Aravis' interfaces).
    static void Install(std::shared_ptr<AravisDeviceSource> source);
    static std::shared_ptr<AravisDeviceSource> Installed();
};

}  // namespace sdk
