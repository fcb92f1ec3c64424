#pragma once

#include <exception>
#include <string>

#include "base/DescribedException.h"

namespace sdk {

// Failure raised by the camera SDK layer (GenICam-style). Callers report GetDescription().
class GenericException : public DescribedException {
  public:
    explicit GenericException(std::string description, const char* sourceFile = "",
                              unsigned sourceLine = 0)
        : mDescription(std::move(description)), mSourceFile(sourceFile), mSourceLine(sourceLine) {}

    const char* GetDescription() const noexcept override { return mDescription.c_str(); }
    const char* GetSourceFileName() const noexcept { return mSourceFile; }
    unsigned GetSourceLine() const noexcept { return mSourceLine; }
    const char* what() const noexcept override { return mDescription.c_str(); }

  private:
    std::string mDescription;
    const char* mSourceFile;
    unsigned mSourceLine;
};

// The GenICam exception kinds the driver may meet; all are GenericException to a catch.
#define OSTRAVELK_SDK_EXCEPTION(Name)             \
    class Name : public GenericException {        \
      public:                                     \
        using GenericException::GenericException; \
    }
OSTRAVELK_SDK_EXCEPTION(InvalidArgumentException);
OSTRAVELK_SDK_EXCEPTION(OutOfRangeException);
OSTRAVELK_SDK_EXCEPTION(PropertyException);
OSTRAVELK_SDK_EXCEPTION(RuntimeException);
OSTRAVELK_SDK_EXCEPTION(LogicalErrorException);
OSTRAVELK_SDK_EXCEPTION(AccessException);
OSTRAVELK_SDK_EXCEPTION(TimeoutException);
#undef OSTRAVELK_SDK_EXCEPTION

}  // namespace sdk
