#pragma once

namespace sdk {

class GrabEngine;
class GrabResult;

// Shared handle to a GrabResult. Copies share the result; Release (or the last copy's
// destruction) gives the buffer back. Using -> or * on an empty handle throws
// LogicalErrorException.
//
// The result is a pooled object of the grab engine with an intrusive reference count: copying,
// releasing and giving the buffer back allocate and free nothing.
//
// Threading: one handle per thread; copies may live on different threads (the count is atomic).
class GrabResultPtr {
  public:
    GrabResultPtr() = default;
    GrabResultPtr(const GrabResultPtr& other) noexcept;
    GrabResultPtr(GrabResultPtr&& other) noexcept;
    GrabResultPtr& operator=(const GrabResultPtr& other) noexcept;
    GrabResultPtr& operator=(GrabResultPtr&& other) noexcept;
    ~GrabResultPtr() { Release(); }

    // Holds a result (whether the grab succeeded is GrabSucceeded()).
    bool IsValid() const { return mResult != nullptr; }
    explicit operator bool() const { return IsValid(); }
    GrabResult* operator->() const;
    GrabResult& operator*() const;
    void Release() noexcept;

  private:
    friend class GrabEngine;
    // Takes over one reference the engine already counted for this handle.
    explicit GrabResultPtr(GrabResult* adopted) noexcept : mResult(adopted) {}

    GrabResult* mResult = nullptr;
};

}  // namespace sdk
