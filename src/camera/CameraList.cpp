#include "camera/CameraList.h"

#include <stdexcept>

namespace {
CameraList* gInstance = nullptr;
}

CameraList& CameraList::Instance() {
    if (!gInstance) {
        throw std::runtime_error("CameraList instance not ready yet");
    }
    return *gInstance;
}

void CameraList::InitInstance() {
    // Enumeration and the cameras themselves come with camera management; until then the list
    // is never built and every camera operation reports that it is not ready.
}

void CameraList::DestroyInstance() {
    delete gInstance;
    gInstance = nullptr;
}
