#pragma once

// Modes of the instant camera's calls.

namespace sdk {

// Who deletes an object handed to the camera: nobody (the caller keeps it) or the camera.
enum ECleanup { Cleanup_None = 0, Cleanup_Delete = 1 };

// Whether a handler is added to those registered or replaces them.
enum ERegistrationMode { RegistrationMode_Append = 1, RegistrationMode_ReplaceAll = 2 };

// Order in which grabbed images are handed out. Only one-by-one (oldest first) is offered.
enum EGrabStrategy { GrabStrategy_OneByOne = 0 };

// Who retrieves results: the caller (RetrieveResult) or a camera thread. Only the caller's loop
// is offered.
enum EGrabLoop { GrabLoop_ProvidedByInstantCamera = 0, GrabLoop_ProvidedByUser = 1 };

// What RetrieveResult does when the time-out expires.
enum ETimeoutHandling { TimeoutHandling_Return = 0, TimeoutHandling_ThrowException = 1 };

// Wait without a time limit.
constexpr unsigned int kInfinite = 0xFFFFFFFFu;

}  // namespace sdk
