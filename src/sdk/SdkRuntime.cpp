#include "sdk/SdkRuntime.h"

#include <atomic>

namespace sdk {

namespace {
std::atomic<int> gInitializeCount{0};
}

void SdkRuntime::Initialize() {
    ++gInitializeCount;
}

void SdkRuntime::Terminate() {
    int count = gInitializeCount.load();
    while (count > 0 && !gInitializeCount.compare_exchange_weak(count, count - 1)) {
    }
}

int SdkRuntime::GetInitializeCount() {
    return gInitializeCount.load();
}

}  // namespace sdk
