#include "sdk/transport/Device.h"

#include "sdk/genapi/GenericException.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

void Device::CheckCanStartStreaming() const {
    if (!IsOpen()) {
        throw LogicalErrorException("StartStreaming: the device is not open", __FILE__, __LINE__);
    }
    if (IsRemoved()) {
        throw RuntimeException("StartStreaming: the device '" + GetDeviceInfo().GetFriendlyName() +
                                   "' has been removed",
                               __FILE__, __LINE__);
    }
}

}  // namespace sdk
