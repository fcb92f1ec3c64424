#pragma once

#include <string>

namespace sdk {

// Where the SDK layer's own messages go: the driver installs its logging facility as the sink at
// initialize; without a sink the messages are dropped. Levels are the driver's: 1 errors and
// warnings, 2 progress, 3 trace.
//
// Threading: any thread may write; the sink is an atomic pointer, so it may be replaced while
// others write (a writer uses the sink it read).
class SdkLog {
  public:
    using Sink = void (*)(int level, const char* text);

    // Replaces the sink; null drops messages from now on.
    static void SetSink(Sink sink);
    static void Write(int level, const std::string& text);
};

}  // namespace sdk
