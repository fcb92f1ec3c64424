#include "ViewWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

#include "DriverLogFilter.h"
#include "HostDriver.h"

namespace {

constexpr int kPort = 0;
constexpr std::chrono::seconds kRateWindow{2};
constexpr std::chrono::seconds kQuietBeforeProbe{1};

}  // namespace

std::atomic<ViewWindow*> ViewWindow::sInstance{nullptr};

ViewWindow::ViewWindow(HostDriver& driver, const std::string& camera, const Options& options)
    : mDriver(driver), mCamera(camera), mOptions(options) {
    setWindowTitle(QString::fromStdString("ostravelk-host view: " + camera));
    mCanvas = new QLabel(this);
    mCanvas->setAlignment(Qt::AlignCenter);
    mCanvas->setMinimumSize(160, 120);
    mCanvas->setStyleSheet("background: black");
    setCentralWidget(mCanvas);
    mTimer = new QTimer(this);
    connect(mTimer, &QTimer::timeout, this, [this] { ShowNewest(); });
}

ViewWindow::~ViewWindow() {
    ViewWindow* self = this;
    sInstance.compare_exchange_strong(self, nullptr);
}

bool ViewWindow::Start(bool portOpen) {
    int size[2] = {0, 0};
    if (portOpen) {
        size[0] = Property("Width", 640);
        size[1] = Property("Height", 480);
    } else if (!mDriver.openCVLPort(0, kPort, mCamera.c_str(), size)) {
        DriverLogFilter::Error("cannot open camera \"" + mCamera + "\"");
        return false;
    }
    mOpen = true;
    sInstance = this;
    mDriver.setCompleteCallback(0, kPort, &ViewWindow::OnComplete);
    resize(std::min(size[0], 1024), std::min(size[1], 768) + statusBar()->sizeHint().height());
    mStarted = mLastProbe = std::chrono::steady_clock::now();
    if (mOptions.continuous) {
        ToggleContinuous();
    }
    mTimer->start(15);
    if (mOptions.quitAfterSeconds > 0) {
        QTimer::singleShot(mOptions.quitAfterSeconds * 1000, this, [this] { SaveAndFinish(); });
    }
    if (mOptions.quitAfter > 0 && mOptions.timeoutSeconds > 0) {
        QTimer::singleShot(mOptions.timeoutSeconds * 1000, this, [this] {
            DriverLogFilter::Error("view: " + std::to_string(mShownCount) + " of " +
                                   std::to_string(mOptions.quitAfter) + " frames shown within " +
                                   std::to_string(mOptions.timeoutSeconds) + " s");
            Finish(1);
        });
    }
    UpdateStatus();
    return true;
}

int ViewWindow::Property(const char* name, int fallback) const {
    int value = fallback;
    return mDriver.getProperty(0, kPort, name, &value) ? value : fallback;
}

void ViewWindow::OnComplete(int grabber, int port) {
    if (ViewWindow* window = sInstance.load()) {
        window->Receive(port);
    }
}

void ViewWindow::Receive(int port) {
    // A host reads the rows right in the callback: the next image overwrites them.
    const int width = Property("Width", 0);
    const int height = Property("Height", 0);
    const int bytes = Property("PixelSize", 8) / 8;
    const bool bgr = bytes == 3 && Property("UseBGR", 0) != 0;
    const int64_t blockId = Property("CurrentFrame", -1);
    if (mLastBlockId >= 0 && blockId > mLastBlockId + 1) {
        mDropped += static_cast<uint64_t>(blockId - mLastBlockId - 1);
    }
    mLastBlockId = blockId;
    ++mReceived;
    if (width <= 0 || height <= 0 || (bytes != 1 && bytes != 3)) {
        ++mUnreadable;
        return;
    }
    std::lock_guard<std::mutex> lock(mLock);
    const size_t row = static_cast<size_t>(width) * bytes;
    mFrame.resize(row * height);
    for (int y = 0; y < height; ++y) {
        if (mDriver.getCVLGrabRow(0, port, mFrame.data() + y * row, y, 0, width - 1) != 1) {
            ++mUnreadable;
            return;
        }
    }
    mFrameWidth = width;
    mFrameHeight = height;
    mFrameBytes = bytes;
    mFrameBgr = bgr;
    ++mFrameNumber;
    const auto now = std::chrono::steady_clock::now();
    mArrivals.push_back(now);
    while (mArrivals.front() < now - kRateWindow) mArrivals.pop_front();
}

void ViewWindow::ShowNewest() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (mFrameNumber != mShownNumber && mFrameWidth > 0) {
            const QImage::Format format = mFrameBytes == 1 ? QImage::Format_Grayscale8
                                          : mFrameBgr      ? QImage::Format_BGR888
                                                           : QImage::Format_RGB888;
            mShown =
                QImage(mFrame.data(), mFrameWidth, mFrameHeight, mFrameWidth * mFrameBytes, format)
                    .copy();
            mShownNumber = mFrameNumber;
            ++mShownCount;
        }
    }
    if (!mShown.isNull()) {
        mCanvas->setPixmap(QPixmap::fromImage(
            mShown.scaled(mCanvas->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    CheckPresence();
    UpdateStatus();
    if (mOptions.quitAfter > 0 && mShownCount >= mOptions.quitAfter) {
        SaveAndFinish();
    }
}

void ViewWindow::SaveAndFinish() {
    if (!mOptions.screenshot.isEmpty() && !grab().save(mOptions.screenshot, "PNG")) {
        DriverLogFilter::Error("view: cannot save " + mOptions.screenshot.toStdString());
        Finish(1);
        return;
    }
    Finish(0);
}

void ViewWindow::CheckPresence() {
    const auto now = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last;
    {
        std::lock_guard<std::mutex> lock(mLock);
        last = mArrivals.empty() ? mStarted : mArrivals.back();
    }
    if (mRemoved && last > mLastProbe) {
        mRemoved = false;  // frames again
        mNote = "camera back";
    }
    if (!mContinuous || now - last < kQuietBeforeProbe || now - mLastProbe < kQuietBeforeProbe) {
        return;
    }
    mLastProbe = now;
    // Refused while the camera is closed; while it is open it keeps (or restarts) grabbing.
    const bool open = mDriver.setProperty(0, kPort, "continuous", 1) != 0;
    if (!open && !mRemoved) {
        mRemoved = true;
        ++mRemovals;
        mNote = "camera removed, waiting for it to return";
    } else if (open && mRemoved) {
        mRemoved = false;
        mNote = "camera back";
    }
}

double ViewWindow::Rate() const {
    std::lock_guard<std::mutex> lock(mLock);
    const auto now = std::chrono::steady_clock::now();
    if (mArrivals.size() < 2 || now - mArrivals.back() > kRateWindow) return 0.0;
    const double span = std::chrono::duration<double>(mArrivals.back() - mArrivals.front()).count();
    return span > 0.0 ? static_cast<double>(mArrivals.size() - 1) / span : 0.0;
}

void ViewWindow::UpdateStatus() {
    const uint64_t received = mReceived.load();
    QString text = QString::asprintf("%.1f frames/s | %llu frames | %llu dropped", Rate(),
                                     static_cast<unsigned long long>(received),
                                     static_cast<unsigned long long>(mDropped.load()));
    if (const uint64_t unreadable = mUnreadable.load()) {
        text +=
            QString::asprintf(" | %llu unreadable", static_cast<unsigned long long>(unreadable));
    }
    text += mContinuous ? " | continuous" : " | single";
    if (!mShown.isNull()) {
        text += QString::asprintf(" | %d x %d %s", mShown.width(), mShown.height(),
                                  mShown.format() == QImage::Format_Grayscale8 ? "mono" : "colour");
    }
    text += " | G grab, C continuous, S settings, Q quit";
    if (!mNote.empty()) {
        text += QString::fromStdString(" | " + mNote);
    }
    statusBar()->showMessage(text);
}

void ViewWindow::GrabOne() {
    mNote = mDriver.doCVLGrab(0, kPort) ? "" : "grab refused";
}

void ViewWindow::ToggleContinuous() {
    if (mDriver.setProperty(0, kPort, "continuous", mContinuous ? 0 : 1)) {
        mContinuous = !mContinuous;
        mNote.clear();
    } else {
        mNote = "continuous mode not changed";
    }
}

void ViewWindow::Configure() {
    const bool confirmed = mDriver.configureCamera(this, mCamera.c_str()) != 0;
    mNote = confirmed ? "configuration saved" : "configuration cancelled";
    mContinuous = Property("continuous", mContinuous ? 1 : 0) != 0;
}

void ViewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_G:
        case Qt::Key_Space:
            GrabOne();
            break;
        case Qt::Key_C:
            ToggleContinuous();
            break;
        case Qt::Key_S:
            Configure();
            break;
        case Qt::Key_Q:
        case Qt::Key_Escape:
            close();
            return;
        default:
            QMainWindow::keyPressEvent(event);
            return;
    }
    UpdateStatus();
}

void ViewWindow::Finish(int exitCode) {
    mExitCode = exitCode;
    mTimer->stop();
    close();
}

void ViewWindow::closeEvent(QCloseEvent* event) {
    if (mOptions.quitAfter == 0 && mOptions.quitAfterSeconds == 0) {
        mExitCode = 0;  // the user closed it
    }
    if (mOpen) {
        if (mContinuous) {
            mDriver.setProperty(0, kPort, "continuous", 0);
        }
        sInstance = nullptr;
        mDriver.closeCVLPort(0, kPort);
        mOpen = false;
    }
    mTimer->stop();
    event->accept();
    QApplication::quit();
}

std::string ViewWindow::Summary() const {
    char text[160];
    std::snprintf(text, sizeof text, "view: %llu frame(s) received, %d shown, %llu dropped",
                  static_cast<unsigned long long>(mReceived.load()), mShownCount,
                  static_cast<unsigned long long>(mDropped.load()));
    std::string summary = text;
    char rate[48];
    std::snprintf(rate, sizeof rate, ", %.1f frames/s", Rate());
    summary += rate;
    if (mRemovals > 0) {
        summary += ", camera removed " + std::to_string(mRemovals) + " time(s)" +
                   (mRemoved ? " and not back" : " and back");
    }
    if (!mOptions.screenshot.isEmpty() && mExitCode == 0 &&
        (mOptions.quitAfter > 0 || mOptions.quitAfterSeconds > 0)) {
        summary += ", window saved as " + mOptions.screenshot.toStdString();
    }
    return summary;
}
