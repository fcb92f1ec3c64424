#pragma once

// The one list of cameras the driver can serve, built by the first initialize and destroyed by
// the last finalize. Until it exists, Instance() fails with "CameraList instance not ready yet".
//
// Threading: InitInstance and DestroyInstance run on the host thread inside initialize and
// finalize, which the host must not overlap with other calls.
class CameraList {
public:
    // The list; throws std::runtime_error "CameraList instance not ready yet" when there is none.
    static CameraList& Instance();
    // Creates and fills the list unless it exists.
    static void InitInstance();
    // Destroys the list, if any.
    static void DestroyInstance();

    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

private:
    CameraList() = default;
};
