#include "sdk/SdkLog.h"

#include <atomic>

namespace sdk {

namespace {

std::atomic<SdkLog::Sink> gSink{nullptr};

}  // namespace

void SdkLog::SetSink(Sink sink) {
    gSink = sink;
}

void SdkLog::Write(int level, const std::string& text) {
    if (const Sink sink = gSink.load()) {
        sink(level, text.c_str());
    }
}

}  // namespace sdk
