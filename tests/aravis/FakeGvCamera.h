#pragma once

#include <sys/types.h>

#include <string>

// Aravis' fake GigE Vision camera (arv-fake-gv-camera-0.8, Debian package aravis-tools) as a
// child process listening on 127.0.0.1. Only start it inside a private network namespace
// (PrivateNetwork.h).
namespace aravistest {

class FakeGvCamera {
  public:
    struct Options {
        std::string serial;   // -s; empty: the fake's own ("GV01")
        std::string genicam;  // -g; empty: the fake's own GenICam description
    };

    FakeGvCamera() = default;
    explicit FakeGvCamera(Options options) : mOptions(std::move(options)) {}
    ~FakeGvCamera();
    FakeGvCamera(const FakeGvCamera&) = delete;
    FakeGvCamera& operator=(const FakeGvCamera&) = delete;

    // Starts the fake and waits (up to 5 s) until it listens on the GigE Vision control port.
    // False with the reason in problem when it cannot.
    bool Start(std::string& problem);
    // Ends it (SIGTERM, then SIGKILL) and waits for it.
    void Stop();
    // Kills it at once, as a camera that loses power.
    void Kill();
    bool IsRunning() const { return mPid > 0; }

    // The program: $OSTRAVELK_FAKE_GV_CAMERA, else arv-fake-gv-camera-0.8 from PATH; empty when
    // there is none.
    static std::string Program();

  private:
    Options mOptions;
    pid_t mPid = -1;
};

}  // namespace aravistest
