#pragma once

#include <cstddef>

namespace sdk {

class InstantCamera;
class GrabResultPtr;

// Hooks on retrieved images. Every method does nothing unless overridden.
//
// Threading: OnImageGrabbed runs inside RetrieveResult, on the caller's thread, for each result
// it hands out.
class ImageEventHandler {
  public:
    virtual ~ImageEventHandler() = default;

    virtual void OnImagesSkipped(InstantCamera&, size_t /*countOfSkippedImages*/) {}
    virtual void OnImageGrabbed(InstantCamera&, const GrabResultPtr&) {}
    virtual void OnImageEventHandlerRegistered(InstantCamera&) {}
    virtual void OnImageEventHandlerDeregistered(InstantCamera&) {}
};

}  // namespace sdk
