#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class QKeyEvent;
class QCloseEvent;
class QLabel;
class QTimer;
struct HostDriver;

// A live view of one camera through the driver's exports, as a host uses them: the completion
// callback copies the finished image out row by row (getCVLGrabRow), and the window shows the
// newest copy. The status bar shows frames/s (over the frames of the last two seconds), the frame
// count and the frames dropped (gaps in the camera's block ids, property "CurrentFrame"). While
// grabbing continuously a pause of more than a second makes the window ask the driver whether
// the camera is still open; it shows the removal and the camera's return.
//
// Keys: G or Space grabs one frame, C switches continuous grabbing on and off, S opens the
// driver's configuration dialog, Q or Escape closes the window.
//
// Threading: the window lives on the GUI thread; OnComplete runs on the driver's image thread,
// touches only mLock's members and the atomics, and reaches the window through sInstance, which
// is cleared before the port is closed. mLock guards mFrame and the mFrame... fields after it;
// mLastBlockId belongs to the image thread.
class ViewWindow : public QMainWindow {
  public:
    struct Options {
        bool continuous = true;  // start in continuous mode (else grab with G)
        int quitAfter = 0;       // close after this many frames were shown (0: when the user quits)
        int quitAfterSeconds = 0;  // close after this many seconds (0: see quitAfter)
        QString screenshot;  // with quitAfter or quitAfterSeconds: the window is saved there first
        int timeoutSeconds = 30;  // with quitAfter: give up when the frames do not come in time
    };

    ViewWindow(HostDriver& driver, const std::string& camera, const Options& options);
    ~ViewWindow() override;

    // Opens the camera on port 0 (unless the caller has opened it) and starts; false when it
    // cannot be opened. The window closes the port when it closes.
    bool Start(bool portOpen = false);
    // 0 when the window did what it was asked, 1 otherwise.
    int ExitCode() const { return mExitCode; }
    // One line on what was seen, for the end of the run.
    std::string Summary() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    static void OnComplete(int grabber, int port);
    void Receive(int port);  // image thread
    void ShowNewest();       // GUI thread, from the timer
    void UpdateStatus();
    void GrabOne();
    void ToggleContinuous();
    void Configure();
    void Finish(int exitCode);
    // Saves the window when asked to, then finishes with 0 (1 when it cannot be saved).
    void SaveAndFinish();
    // While grabbing continuously and no frame came for a second: whether the camera is open.
    void CheckPresence();
    // Frames per second over the frames of the last two seconds; 0 when none came lately.
    double Rate() const;
    int Property(const char* name, int fallback) const;

    static std::atomic<ViewWindow*> sInstance;

    HostDriver& mDriver;
    const std::string mCamera;
    const Options mOptions;
    QLabel* mCanvas = nullptr;
    QTimer* mTimer = nullptr;
    QImage mShown;
    bool mOpen = false;
    bool mContinuous = false;
    int mExitCode = 1;
    int mShownCount = 0;
    uint64_t mShownNumber = 0;
    std::string mNote;  // the last key's outcome
    std::chrono::steady_clock::time_point mStarted;
    std::chrono::steady_clock::time_point mLastProbe;
    bool mRemoved = false;
    int mRemovals = 0;

    std::atomic<uint64_t> mReceived{0};
    std::atomic<uint64_t> mDropped{0};
    std::atomic<uint64_t> mUnreadable{0};
    int64_t mLastBlockId = -1;  // image thread only

    mutable std::mutex mLock;
    std::vector<uint8_t> mFrame;
    int mFrameWidth = 0;
    int mFrameHeight = 0;
    int mFrameBytes = 1;
    bool mFrameBgr = false;
    uint64_t mFrameNumber = 0;
    std::deque<std::chrono::steady_clock::time_point> mArrivals;  // of the last two seconds
};
