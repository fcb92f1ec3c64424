#include "GenicamFileCheck.h"

#include <arv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

#include "BedFrame.h"
#include "GenicamMemorySource.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "parameters/Param_.h"

namespace {

std::atomic<int> gFrames{0};
std::atomic<int> gBadRows{0};
std::atomic<int> gGlibWarnings{0};
// The frame being served; set before grabbing, read by the completion callback.
std::atomic<int64_t> gWidth{0};
std::atomic<int64_t> gHeight{0};

// The base of the frame the driver holds: its first pixel; -1 when it cannot be read.
int FrameBase() {
    uint8_t first = 0;
    return getCVLGrabRow(0, 0, &first, 0, 0, 0) == 1 ? first : -1;
}

// Whether the image row the driver holds equals the bed's row of a frame of that base.
bool RowMatches(int base, int64_t row) {
    if (base < 0) {
        return false;
    }
    const std::vector<uint8_t> expected =
        BedFrame::OutputRow(static_cast<uint8_t>(base), gWidth, row);
    std::vector<uint8_t> actual(expected.size() + 16, 0xEE);
    if (getCVLGrabRow(0, 0, actual.data(), static_cast<int>(row), 0,
                      static_cast<int>(gWidth - 1)) != 1) {
        return false;
    }
    return std::equal(expected.begin(), expected.end(), actual.begin()) &&
           actual[expected.size()] == 0xEE;
}

// Continuous frames: the first, middle and last rows of each. The image stays as it is while the
// callback runs.
void OnFrame(int, int) {
    const int base = FrameBase();
    for (const int64_t row : {int64_t(0), gHeight / 2, gHeight - 1}) {
        gBadRows += RowMatches(base, row) ? 0 : 1;
    }
    ++gFrames;
}

void OnGlibLog(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
        ++gGlibWarnings;
    }
    g_log_default_handler(domain, level, message, nullptr);
}

bool WaitFrames(int count, double seconds) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (gFrames < count) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// One open of the camera on port 0 and, when grab is set, its grabs; the log is read from
// line `from` on.
GenicamFileCheck::Open OpenAndGrab(const std::string& name, LogCapture& log, bool grab) {
    GenicamFileCheck::Open open;
    const size_t from = log.Messages().size();
    int size[2] = {0, 0};
    const auto start = std::chrono::steady_clock::now();
    open.opened = openCVLPort(0, 0, name.c_str(), size) == 1;
    open.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    open.width = size[0];
    open.height = size[1];
    const std::vector<std::string> lines = log.Messages();
    int pass = 0;
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (GenicamFileCheck::IsErrorLine(line)) {
            open.errorLines.push_back(line);
        }
        const size_t at = line.find("Apply Parameters, iteration:");
        if (at != std::string::npos) {
            pass = std::atoi(line.c_str() + at + 28);
        }
        if (line.find("Apply Parameters: Success") != std::string::npos && open.applyPasses == 0) {
            open.applyPasses = pass;
        }
    }
    if (!open.opened || !grab) {
        return open;
    }
    gFrames = 0;
    setCompleteCallback(0, 0, &OnFrame);
    doCVLGrab(0, 0);
    open.singleGrab = WaitFrames(1, 5);
    // The single frame stays in the image until the next grab: it is read out whole.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (open.singleGrab) {
        const int base = FrameBase();
        open.singleRows = true;
        for (int64_t row = 0; row < gHeight && open.singleRows; ++row) {
            open.singleRows = RowMatches(base, row);
        }
    }
    gFrames = 0;
    gBadRows = 0;
    setProperty(0, 0, "continuous", 1);
    WaitFrames(10, 10);
    setProperty(0, 0, "continuous", 0);
    open.continuousFrames = gFrames;
    open.badRows = gBadRows;
    setCompleteCallback(0, 0, nullptr);
    return open;
}

}  // namespace

bool GenicamFileCheck::Result::Passed() const {
    for (const Open* open : {&first, &second}) {
        if (!open->opened || open->applyPasses == 0 || !open->errorLines.empty() ||
            !open->singleGrab || !open->singleRows || open->continuousFrames < 10 ||
            open->badRows != 0 || open->width != frameWidth || open->height != frameHeight) {
            return false;
        }
    }
    return failure.empty() && glibWarnings == 0;
}

bool GenicamFileCheck::IsErrorLine(const std::string& line) {
    return line.find("ERR") != std::string::npos || line.find("Error") != std::string::npos ||
           line.find("error") != std::string::npos;
}

GenicamFileCheck::Result GenicamFileCheck::Run(const std::string& xmlPath, bool grab,
                                               const Serve& serve) {
    Result result;
    result.file = BaseName(xmlPath);
    auto source = serve ? nullptr : std::make_shared<GenicamMemorySource>();
    gGlibWarnings = 0;
    g_log_set_default_handler(&OnGlibLog, nullptr);
    std::shared_ptr<GenicamMemoryCamera> served;
    try {
        served = serve ? serve(xmlPath) : source->Add(xmlPath, "MEM01");
    } catch (const std::exception& e) {
        result.failure = e.what();
        g_log_set_default_handler(&g_log_default_handler, nullptr);
        result.glibWarnings = gGlibWarnings;
        return result;
    }
    result.features = served->CountImplementedFeatures();
    const GenicamMemoryCamera::Frame frame = served->NextFrame();
    result.frameWidth = frame.width;
    result.frameHeight = frame.height;
    result.frameFormat = BedFrame::Name(frame.format);
    gWidth = frame.width;
    gHeight = frame.height;
    sdk::AravisDeviceSource::Install(source);
    setenv("OSTRAVELK_BACKENDS", "aravis", 1);
    unsetenv("OSTRAVELK_SIM_DIR");

    TempDir host;
    LogCapture log;
    if (initialize(host.Path().c_str(), LogCapture::Callback()) == 1) {
        result.listed = getCVLNoOfSupportedCameras() == 1;
        if (result.listed) {
            const std::string name = getCVLCameraConfigNames()[0];
            result.first = OpenAndGrab(name, log, grab);
            if (Camera* camera = CameraList::Instance().GetByPort_(0)) {
                for (const Param_& parameter : camera->mParameters) {
                    result.parameters += parameter.mGeneral ? 0 : 1;
                    result.selected += parameter.HasOption("SelectorName") ? 1 : 0;
                }
            }
            closeCVLPort(0, 0);
            result.second = OpenAndGrab(name, log, grab);
        }
        finalize();
        result.log = log.Messages();
    }
    g_log_set_default_handler(&g_log_default_handler, nullptr);
    result.glibWarnings = gGlibWarnings;
    sdk::AravisDeviceSource::Install(nullptr);
    return result;
}
