#pragma once

#include <string>

struct HostDriver;

// The grab command on an open port: N single grabs (each waits for its completion callback) or
// N frames of continuous grabbing, optionally saved as PNG files, and one line of figures: the
// frame rate over the whole run (single grabs: frames over the time from the first request to
// the last frame; continuous: the intervals between the frames) and the latency or interval
// percentiles. The progress counter is shown only on a terminal.
//
// Threading: Run on one host thread; the completion callback (the driver's image thread) touches
// only the shared state under its lock.
class GrabRun {
  public:
    GrabRun(HostDriver& driver, int port, const std::string& camera);
    // 0 when every frame came (and was saved), 1 otherwise, with one line on standard error.
    int Run(int frames, bool continuous, const std::string& outDir);

  private:
    static void OnComplete(int grabber, int port);
    // Creates the directory (and its parents); false with one line on standard error.
    static bool PrepareDirectory(const std::string& outDir);
    bool SaveFrame(const std::string& path, int width, int height, int channels, bool bgr);

    HostDriver& mDriver;
    const int mPort;
    const std::string mCamera;
};
