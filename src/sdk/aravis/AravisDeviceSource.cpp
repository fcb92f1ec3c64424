#include "sdk/aravis/AravisDeviceSource.h"

#include <mutex>

namespace sdk {

namespace {

std::mutex gSourceLock;
std::shared_ptr<AravisDeviceSource> gSource;  // guarded by gSourceLock

}  // namespace

void AravisDeviceSource::Install(std::shared_ptr<AravisDeviceSource> source) {
    std::lock_guard<std::mutex> lock(gSourceLock);
    gSource = std::move(source);
}

std::shared_ptr<AravisDeviceSource> AravisDeviceSource::Installed() {
    std::lock_guard<std::mutex> lock(gSourceLock);
    return gSource;
}

}  // namespace sdk
