#pragma once

#include <exception>

// A failure that carries a description for the log of its own, besides what(): the camera SDK's
// exceptions (sdk::GenericException and its kinds) are such failures. The exception guard
// (ExceptionGuard.h) reports them first, in their own form, before any other standard exception;
// it knows them by this class, as the SDK lies above this layer.
class DescribedException : public std::exception {
  public:
    virtual const char* GetDescription() const noexcept = 0;
};
