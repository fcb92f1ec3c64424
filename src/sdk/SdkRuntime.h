#pragma once

namespace sdk {

// Reference-counted start and end of SDK use. Each Initialize needs one Terminate. The SDK works
// without them as well; they exist so callers can mark its lifetime as on other platforms.
//
// Threading: any thread; the count is atomic.
class SdkRuntime {
  public:
    static void Initialize();
    static void Terminate();
    static int GetInitializeCount();
};

inline void Initialize() {
    SdkRuntime::Initialize();
}
inline void Terminate(bool /*shutDownLogging*/ = true) {
    SdkRuntime::Terminate();
}

}  // namespace sdk
