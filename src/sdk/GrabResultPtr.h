#pragma once

#include <memory>

namespace sdk {

class GrabResult;

// Shared handle to a GrabResult. Copies share the result; Release (or the last copy's
// destruction) gives the buffer back. Using -> or * on an empty handle throws
// LogicalErrorException.
//
// Threading: one handle per thread; copies may live on different threads.
class GrabResultPtr {
  public:
    GrabResultPtr() = default;
    explicit GrabResultPtr(std::shared_ptr<GrabResult> result) : mResult(std::move(result)) {}

    // Holds a result (whether the grab succeeded is GrabSucceeded()).
    bool IsValid() const { return mResult != nullptr; }
    explicit operator bool() const { return IsValid(); }
    GrabResult* operator->() const;
    GrabResult& operator*() const;
    void Release() { mResult.reset(); }

  private:
    std::shared_ptr<GrabResult> mResult;
};

}  // namespace sdk
