// ostravelk-host: a small host that loads the driver with dlopen, as a real host does, and uses
// only the 18 exported functions.

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QString>

#include "HostDriver.h"
#include "ViewWindow.h"
#include "ostravelk/ostravelk.h"

namespace {

bool gVerbose = false;
// The view command's application and window, deleted after finalize (the driver's image threads
// may call the window until then).
QApplication* gApplication = nullptr;
ViewWindow* gViewWindow = nullptr;

void DebugMessage(const char* text) {
    if (gVerbose) {
        std::fputs(text, stdout);
    }
}

// Writes 8-bit grey (channels 1) or RGB (channels 3) rows as a compressed PNG file.
bool WritePng(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height,
              int channels) {
    const QImage image(pixels.data(), width, height, width * channels,
                       channels == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    return image.save(QString::fromStdString(path), "PNG");
}

// --- grab
// -----------------------------------------------------------------------------------------

struct GrabState {
    std::mutex lock;
    std::condition_variable done;
    int frames = 0;
    std::vector<double> callbackTimes;  // seconds since start
};
GrabState gGrab;
std::chrono::steady_clock::time_point gStart;

void OnComplete(int grabberNo, int portNo) {
    double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
    std::lock_guard<std::mutex> lock(gGrab.lock);
    ++gGrab.frames;
    gGrab.callbackTimes.push_back(now);
    gGrab.done.notify_all();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

int GrabCommand(HostDriver& d, const std::string& camera, int count, bool continuous,
                const std::string& outDir) {
    int size[2] = {0, 0};
    if (!d.openCVLPort(0, 0, camera.c_str(), size)) {
        std::fprintf(stderr, "cannot open camera \"%s\"\n", camera.c_str());
        return 1;
    }
    int width = size[0], height = size[1];
    int pixelSize = 8, bgr = 0;
    d.getProperty(0, 0, "PixelSize", &pixelSize);
    d.getProperty(0, 0, "UseBGR", &bgr);
    int channels = pixelSize / 8;
    std::printf("camera \"%s\": %d x %d, %d bit, %s mode, %d frame(s)\n", camera.c_str(), width,
                height, pixelSize, continuous ? "continuous" : "single", count);
    if (!outDir.empty()) mkdir(outDir.c_str(), 0755);
    d.setCompleteCallback(0, 0, OnComplete);

    std::vector<uint8_t> image(static_cast<size_t>(width) * height * channels);
    std::vector<double> latencies;
    gStart = std::chrono::steady_clock::now();
    auto now = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
    };
    if (continuous) d.setProperty(0, 0, "continuous", 1);
    int saved = 0, failures = 0;
    double first = 0.0, last = 0.0;
    for (int i = 0; i < count; ++i) {
        double requested = now();
        if (!continuous && !d.doCVLGrab(0, 0)) {
            std::fprintf(stderr, "\ngrab %d refused\n", i + 1);
            ++failures;
            break;
        }
        std::unique_lock<std::mutex> lock(gGrab.lock);
        if (!gGrab.done.wait_for(lock, std::chrono::seconds(5), [i] { return gGrab.frames > i; })) {
            std::fprintf(stderr, "\nno frame within 5 s\n");
            ++failures;
            break;
        }
        double arrived = gGrab.callbackTimes[static_cast<size_t>(i)];
        lock.unlock();
        if (i == 0) first = arrived;
        last = arrived;
        latencies.push_back(arrived -
                            (continuous ? (i ? gGrab.callbackTimes[i - 1] : 0.0) : requested));
        if (!outDir.empty()) {
            for (int y = 0; y < height; ++y) {
                d.getCVLGrabRow(0, 0, image.data() + static_cast<size_t>(y) * width * channels, y,
                                0, width - 1);
            }
            if (channels == 3 && bgr) {
                for (size_t p = 0; p < image.size(); p += 3) std::swap(image[p], image[p + 2]);
            }
            char name[64];
            std::snprintf(name, sizeof name, "/frame-%04d.png", i + 1);
            if (WritePng(outDir + name, image, width, height, channels)) ++saved;
        }
        std::printf("\rframe %d/%d", i + 1, count);
        std::fflush(stdout);
    }
    if (continuous) d.setProperty(0, 0, "continuous", 0);
    int frames = 0;
    {
        std::lock_guard<std::mutex> lock(gGrab.lock);
        frames = static_cast<int>(latencies.size());
    }
    std::printf("\n%d frame(s)", frames);
    if (frames > 1 && last > first) {
        std::printf(", %.1f frames/s", (frames - 1) / (last - first));
    }
    std::printf(", %s p50 %.2f ms, p99 %.2f ms", continuous ? "frame interval" : "latency",
                Percentile(latencies, 0.5) * 1000, Percentile(latencies, 0.99) * 1000);
    if (!outDir.empty()) std::printf(", %d PNG file(s) in %s", saved, outDir.c_str());
    std::printf("\n");
    d.closeCVLPort(0, 0);
    return failures ? 1 : 0;
}

void Usage() {
    std::fprintf(
        stderr,
        "usage: ostravelk-host [--lib PATH] [--dir DIR] [--verbose] COMMAND [ARGS]\n"
        "commands:\n"
        "  list                       list the cameras the driver serves\n"
        "  grab CAMERA [-n N] [--continuous] [--out DIR]\n"
        "                             grab N frames (default 10), save them as PNG\n"
        "  get CAMERA NAME            read a property\n"
        "  set CAMERA NAME VALUE      write a property\n"
        "  range CAMERA NAME          read a property's range\n"
        "  cmd CAMERA COMMAND [ARG]   run a command (\"get\", \"set\")\n"
        "  configure CAMERA           open the configuration dialog (needs a display)\n"
        "  view CAMERA [--single] [--frames N --screenshot FILE]\n"
        "                             live view in a window (needs a display); keys: G grab,\n"
        "                             C continuous, S settings, Q quit. --frames N closes\n"
        "                             it after N frames, saving the window to FILE\n"
        "--dir is the host directory for Ostravelk.ini and Ostravelk.log (default: .)\n");
}

int ViewCommand(HostDriver& d, const std::vector<std::string>& args) {
    ViewWindow::Options options;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--single") {
            options.continuous = false;
        } else if (args[i] == "--frames" && i + 1 < args.size()) {
            options.quitAfter = std::max(1, std::atoi(args[++i].c_str()));
        } else if (args[i] == "--screenshot" && i + 1 < args.size()) {
            options.screenshot = QString::fromStdString(args[++i]);
        } else {
            Usage();
            return 2;
        }
    }
    static int argc = 1;
    static char name[] = "ostravelk-host";
    static char* argv[] = {name, nullptr};
    // The window and the application outlive the driver's image threads: main deletes them after
    // finalize has ended those.
    gApplication = new QApplication(argc, argv);
    gViewWindow = new ViewWindow(d, args[1], options);
    if (!gViewWindow->Start()) {
        return 1;
    }
    gViewWindow->show();
    QApplication::exec();
    std::printf("%s\n", gViewWindow->Summary().c_str());
    return gViewWindow->ExitCode();
}

int OpenByName(HostDriver& d, const std::string& camera, int port) {
    int size[2] = {0, 0};
    if (!d.openCVLPort(0, port, camera.c_str(), size)) {
        std::fprintf(stderr, "cannot open camera \"%s\"\n", camera.c_str());
        return 0;
    }
    std::printf("opened \"%s\" on port %d: %d x %d\n", camera.c_str(), port, size[0], size[1]);
    return 1;
}

int Run(HostDriver& d, const std::vector<std::string>& args) {
    const std::string& command = args[0];
    if (command == "list") {
        int count = d.getCVLNoOfSupportedCameras();
        const char** names = d.getCVLCameraConfigNames();
        std::printf("%d grabber(s), %d ports, %d camera(s)\n", d.getCVLMaxNoOfGrabbers(),
                    d.getCVLMaxNoOfPorts(), count);
        for (int i = 0; names && names[i]; ++i) {
            std::printf("  %s\n", names[i]);
        }
        return names ? 0 : 1;
    }
    if (command == "grab" && args.size() >= 2) {
        int count = 10;
        bool continuous = false;
        std::string out;
        for (size_t i = 2; i < args.size(); ++i) {
            if (args[i] == "-n" && i + 1 < args.size()) {
                count = std::max(1, std::atoi(args[++i].c_str()));
            } else if (args[i] == "--continuous") {
                continuous = true;
            } else if (args[i] == "--out" && i + 1 < args.size()) {
                out = args[++i];
            } else {
                Usage();
                return 2;
            }
        }
        return GrabCommand(d, args[1], count, continuous, out);
    }
    if ((command == "get" || command == "range") && args.size() == 3) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        int ok = 0;
        if (command == "get") {
            int value = 0;
            ok = d.getProperty(0, 0, args[2].c_str(), &value);
            if (ok) std::printf("%s = %d\n", args[2].c_str(), value);
        } else {
            int min = 0, max = 0;
            ok = d.getPropertyRange(0, 0, args[2].c_str(), &min, &max);
            if (ok) std::printf("%s in [%d..%d]\n", args[2].c_str(), min, max);
        }
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    if (command == "set" && args.size() == 4) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        int ok = d.setProperty(0, 0, args[2].c_str(), std::atoi(args[3].c_str()));
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    if (command == "configure" && args.size() == 2) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        int ok = d.configureCamera(nullptr, args[1].c_str());
        std::printf("configuration %s\n", ok ? "confirmed (OK), saved" : "cancelled");
        d.closeCVLPort(0, 0);
        return 0;
    }
    if (command == "cmd" && (args.size() == 3 || args.size() == 4)) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        char result[1024] = "";
        int ok = d.execCmd(0, 0, args[2].c_str(), args.size() == 4 ? args[3].c_str() : "", result,
                           sizeof result);
        std::printf("%s -> %d \"%s\"\n", args[2].c_str(), ok, result);
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    if (command == "view" && args.size() >= 2) {
        return ViewCommand(d, args);
    }
    Usage();
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string library = std::getenv("OSTRAVELK_LIBRARY") ? std::getenv("OSTRAVELK_LIBRARY")
                                                           : OSTRAVELK_DEFAULT_LIBRARY;
    std::string directory = ".";
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--lib" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            directory = argv[++i];
        } else if (arg == "--verbose") {
            gVerbose = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty()) {
        Usage();
        return 2;
    }
    HostDriver driver;
    if (!driver.Load(library)) {
        return 1;
    }
    if (!driver.initialize(directory.c_str(), DebugMessage)) {
        std::fprintf(stderr, "initialize failed\n");
        return 1;
    }
    int result = Run(driver, args);
    driver.finalize();
    delete gViewWindow;
    delete gApplication;
    return result;
}
