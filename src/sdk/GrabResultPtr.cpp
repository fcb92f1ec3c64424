#include "sdk/GrabResultPtr.h"

#include "sdk/GenericException.h"
#include "sdk/GrabResult.h"

namespace sdk {

GrabResult* GrabResultPtr::operator->() const {
    if (!mResult) {
        throw LogicalErrorException("Grab result pointer is empty", __FILE__, __LINE__);
    }
    return mResult.get();
}

GrabResult& GrabResultPtr::operator*() const {
    return *operator->();
}

}  // namespace sdk
