#include "sdk/grab/GrabResultPtr.h"

#include <utility>

#include "sdk/genapi/GenericException.h"
#include "sdk/grab/GrabResult.h"

namespace sdk {

GrabResultPtr::GrabResultPtr(const GrabResultPtr& other) noexcept : mResult(other.mResult) {
    if (mResult) {
        mResult->AddRef();
    }
}

GrabResultPtr::GrabResultPtr(GrabResultPtr&& other) noexcept
    : mResult(std::exchange(other.mResult, nullptr)) {}

GrabResultPtr& GrabResultPtr::operator=(const GrabResultPtr& other) noexcept {
    GrabResult* const result = other.mResult;  // before Release: other may be this
    if (result) {
        result->AddRef();
    }
    Release();
    mResult = result;
    return *this;
}

GrabResultPtr& GrabResultPtr::operator=(GrabResultPtr&& other) noexcept {
    if (this != &other) {
        Release();
        mResult = std::exchange(other.mResult, nullptr);
    }
    return *this;
}

void GrabResultPtr::Release() noexcept {
    if (GrabResult* result = std::exchange(mResult, nullptr)) {
        result->ReleaseRef();
    }
}

GrabResult* GrabResultPtr::operator->() const {
    if (!mResult) {
        throw LogicalErrorException("Grab result pointer is empty", __FILE__, __LINE__);
    }
    return mResult;
}

GrabResult& GrabResultPtr::operator*() const {
    return *operator->();
}

}  // namespace sdk
