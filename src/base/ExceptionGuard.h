#pragma once

#include <string>
#include <utility>

// The driver's three handlers, in their fixed order: an SDK exception (its description; any
// DescribedException), a standard exception (its text), anything else. Every exported function and
// every operation that must not let a failure escape goes through here.

// Logs the exception being handled in the exception form. Call only inside a catch block.
void LogCurrentException(int port, const std::string& operation, const char* where) noexcept;

// Runs body(); on any exception logs it (port, operation, where) and returns failure instead.
template <typename Result, typename Body>
Result RunGuarded(int port, const std::string& operation, const char* where, Result failure,
                  Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        LogCurrentException(port, operation, where);
    }
    return failure;
}

// The same for bodies that return nothing.
template <typename Body>
void RunGuardedVoid(int port, const std::string& operation, const char* where,
                    Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        LogCurrentException(port, operation, where);
    }
}
