#include "GenicamFileCheck.h"

#include <arv.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "GenicamMemorySource.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "parameters/Param_.h"

namespace {

std::atomic<int> gFrames{0};
std::atomic<int> gGlibWarnings{0};

void OnFrame(int, int) {
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

}  // namespace

bool GenicamFileCheck::IsErrorLine(const std::string& line) {
    return line.find("ERR") != std::string::npos || line.find("Error") != std::string::npos ||
           line.find("error") != std::string::npos;
}

GenicamFileCheck::Result GenicamFileCheck::Run(const std::string& xmlPath, bool grab) {
    Result result;
    result.file = BaseName(xmlPath);
    auto source = std::make_shared<GenicamMemorySource>();
    result.features = source->Add(xmlPath, "MEM01")->CountImplementedFeatures();
    sdk::AravisDeviceSource::Install(source);
    setenv("OSTRAVELK_BACKENDS", "aravis", 1);
    unsetenv("OSTRAVELK_SIM_DIR");
    gFrames = 0;
    gGlibWarnings = 0;
    g_log_set_default_handler(&OnGlibLog, nullptr);

    TempDir host;
    LogCapture log;
    if (initialize(host.Path().c_str(), LogCapture::Callback()) == 1) {
        result.listed = getCVLNoOfSupportedCameras() == 1;
        if (result.listed) {
            const std::string name = getCVLCameraConfigNames()[0];
            int size[2] = {0, 0};
            const auto start = std::chrono::steady_clock::now();
            result.opened = openCVLPort(0, 0, name.c_str(), size) == 1;
            result.openSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            int pass = 0;
            for (const std::string& line : log.Messages()) {
                if (IsErrorLine(line)) {
                    result.errorLines.push_back(line);
                }
                const size_t at = line.find("Apply Parameters, iteration:");
                if (at != std::string::npos) {
                    pass = std::atoi(line.c_str() + at + 28);
                }
                if (line.find("Apply Parameters: Success") != std::string::npos &&
                    result.applyPasses == 0) {
                    result.applyPasses = pass;
                }
            }
            if (Camera* camera = CameraList::Instance().GetByPort_(0)) {
                for (const Param_& parameter : camera->mParameters) {
                    result.parameters += parameter.mGeneral ? 0 : 1;
                }
            }
            if (result.opened && grab) {
                setCompleteCallback(0, 0, &OnFrame);
                doCVLGrab(0, 0);
                result.singleGrab = WaitFrames(1, 5);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                const int before = gFrames;
                setProperty(0, 0, "continuous", 1);
                WaitFrames(before + 10, 10);
                setProperty(0, 0, "continuous", 0);
                result.continuousFrames = gFrames - before;
            }
        }
        finalize();
    }
    g_log_set_default_handler(&g_log_default_handler, nullptr);
    result.glibWarnings = gGlibWarnings;
    sdk::AravisDeviceSource::Install(nullptr);
    return result;
}
