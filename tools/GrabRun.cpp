#include "GrabRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include <QImage>
#include <QString>

#include "DriverLogFilter.h"
#include "HostDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the completion callback records: one arrival time per frame, in seconds since start.
struct Arrivals {
    std::mutex lock;
    std::condition_variable done;
    Clock::time_point start;
    std::vector<double> times;
};
Arrivals gArrivals;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

GrabRun::GrabRun(HostDriver& driver, int port, const std::string& camera)
    : mDriver(driver), mPort(port), mCamera(camera) {}

void GrabRun::OnComplete(int, int) {
    std::lock_guard<std::mutex> lock(gArrivals.lock);
    gArrivals.times.push_back(Since(gArrivals.start));
    gArrivals.done.notify_all();
}

bool GrabRun::PrepareDirectory(const std::string& outDir) {
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (!std::filesystem::is_directory(outDir)) {
        DriverLogFilter::Error("--out " + outDir + ": cannot create the directory" +
                               (error ? " (" + error.message() + ")" : std::string()));
        return false;
    }
    if (access(outDir.c_str(), W_OK) != 0) {
        DriverLogFilter::Error("--out " + outDir + ": the directory is not writable");
        return false;
    }
    return true;
}

bool GrabRun::SaveFrame(const std::string& path, int width, int height, int channels, bool bgr) {
    std::vector<uint8_t> image(static_cast<size_t>(width) * height * channels);
    const size_t row = static_cast<size_t>(width) * channels;
    for (int y = 0; y < height; ++y) {
        mDriver.getCVLGrabRow(0, mPort, image.data() + y * row, y, 0, width - 1);
    }
    const QImage::Format format = channels == 1 ? QImage::Format_Grayscale8
                                  : bgr         ? QImage::Format_BGR888
                                                : QImage::Format_RGB888;
    const QImage picture(image.data(), width, height, static_cast<qsizetype>(row), format);
    return picture.save(QString::fromStdString(path), "PNG");
}

int GrabRun::Run(int frames, bool continuous, const std::string& outDir) {
    if (!outDir.empty() && !PrepareDirectory(outDir)) return 1;
    int width = 0, height = 0, pixelSize = 8, bgr = 0;
    mDriver.getProperty(0, mPort, "Width", &width);
    mDriver.getProperty(0, mPort, "Height", &height);
    mDriver.getProperty(0, mPort, "PixelSize", &pixelSize);
    mDriver.getProperty(0, mPort, "UseBGR", &bgr);
    const int channels = pixelSize / 8;
    std::printf("camera \"%s\": %d x %d, %d bit, %s mode, %d frame(s)\n", mCamera.c_str(), width,
                height, pixelSize, continuous ? "continuous" : "single", frames);
    std::fflush(stdout);
    const bool progress = isatty(STDOUT_FILENO) == 1;
    {
        std::lock_guard<std::mutex> lock(gArrivals.lock);
        gArrivals.times.clear();
        gArrivals.start = Clock::now();
    }
    mDriver.setCompleteCallback(0, mPort, &GrabRun::OnComplete);
    if (continuous && !mDriver.setProperty(0, mPort, "continuous", 1)) {
        DriverLogFilter::Error("the camera refused continuous grabbing");
        return 1;
    }
    std::vector<double> figures;  // latency (single) or interval (continuous) per frame
    std::string failure;
    int saved = 0, got = 0;
    double first = 0.0, last = 0.0;
    for (int i = 0; i < frames && failure.empty(); ++i) {
        const double requested = Since(gArrivals.start);
        if (!continuous && !mDriver.doCVLGrab(0, mPort)) {
            failure = "grab " + std::to_string(i + 1) + " refused by the driver";
            break;
        }
        std::unique_lock<std::mutex> lock(gArrivals.lock);
        if (!gArrivals.done.wait_for(lock, std::chrono::seconds(5), [i] {
                return gArrivals.times.size() > static_cast<size_t>(i);
            })) {
            failure = "frame " + std::to_string(i + 1) + " did not come within 5 s";
            break;
        }
        const double arrived = gArrivals.times[static_cast<size_t>(i)];
        const double previous = i ? gArrivals.times[static_cast<size_t>(i) - 1] : 0.0;
        lock.unlock();
        ++got;
        if (i == 0) first = arrived;
        last = arrived;
        if (!continuous) {
            figures.push_back(arrived - requested);
        } else if (i > 0) {
            figures.push_back(arrived - previous);
        }
        if (!outDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04d.png", i + 1);
            const std::string path = (std::filesystem::path(outDir) / name).string();
            if (channels != 1 && channels != 3) {
                failure = "cannot save a " + std::to_string(pixelSize) + "-bit image as PNG";
            } else if (!SaveFrame(path, width, height, channels, channels == 3 && bgr)) {
                failure = "cannot write " + path;
            } else {
                ++saved;
            }
        }
        if (progress) {
            std::printf("\rframe %d/%d", i + 1, frames);
            std::fflush(stdout);
        }
    }
    if (continuous) mDriver.setProperty(0, mPort, "continuous", 0);
    mDriver.setCompleteCallback(0, mPort, nullptr);
    if (progress) std::printf("\r");
    std::printf("%d frame(s)", got);
    // Single grabs: frames over the time they took; continuous: the rate the camera delivers.
    const double span = continuous ? last - first : last;
    const int intervals = continuous ? got - 1 : got;
    if (intervals > 0 && span > 0.0) std::printf(", %.1f frames/s", intervals / span);
    if (!figures.empty()) {
        std::printf(", %s p50 %.2f ms, p99 %.2f ms", continuous ? "frame interval" : "latency",
                    Percentile(figures, 0.5) * 1000, Percentile(figures, 0.99) * 1000);
    }
    if (!outDir.empty()) std::printf(", %d PNG file(s) in %s", saved, outDir.c_str());
    std::printf("\n");
    std::fflush(stdout);
    if (!failure.empty()) {
        DriverLogFilter::Error(failure);
        return 1;
    }
    return 0;
}
