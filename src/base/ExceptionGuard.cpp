#include "base/ExceptionGuard.h"

#include <exception>

#include "base/DescribedException.h"
#include "base/DriverState.h"

void LogCurrentException(int port, const std::string& operation, const char* where) noexcept {
    try {
        DriverState& state = GetDriverState();
        try {
            throw;
        } catch (const DescribedException& e) {
            state.LogException(port, operation, " Pylon Exception: ", e.GetDescription(), where);
        } catch (const std::exception& e) {
            state.LogException(port, operation, " std Exception: ", e.what(), where);
        } catch (...) {
            state.LogException(port, operation, " Undefined Exception", "", where);
        }
    } catch (...) {
        // Nothing may escape a handler.
    }
}
