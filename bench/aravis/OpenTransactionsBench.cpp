// Register transactions of a camera's open, for real cameras' GenICam files served by the
// in-process test bed (GenicamMemoryCamera), against reading every feature value once with
// Aravis' register cache on (what `arv-tool-0.8 --register-cache=enable values` reads).
//
// For each file: the first openCVLPort and the second one (after closeCVLPort), split by phase
// (connect, walk, load and validate, each apply pass, read-back, set-up), the first grab's
// acquisition set-up, the reference count, the ratio of each open to it and the open's time with
// a round trip added per transaction. The phases are told apart by the driver's own log lines
// (LogLevel 3).
//
// Usage: ostravelk_bench_open [--delay-us=N] [--round-trip-us=N] [--trace] FILE.xml...
//   --delay-us: the bed waits that long per transaction (the time column is then measured);
//   otherwise the time is the open's own time plus round-trip-us (default 200) per transaction.
//   --trace: every transaction of the opens on stderr ("r ADDRESS BYTES" / "w ..."), after a
//   line "phase NAME" where each phase starts.
// Exit status 1 when an open failed or took more transactions than the reference.

#include <arv.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../TempDirectory.h"
#include "GenicamMemorySource.h"
#include "ostravelk/ostravelk.h"

namespace {

using Counted = GenicamMemoryCamera::Transactions;

bool gTrace = false;  // --trace

// The phases of an open, in order, with the log text that starts each.
struct Marker {
    const char* text;
    const char* phase;
};
const Marker kMarkers[] = {
    {"Opening camera", "connect"},
    {"CreateFromNodes beginning", "walk"},
    {"camera settings applied to camera", "read-back"},
    {"some parameters were not applied", "read-back"},
    {"camera settings read back", "set-up"},
    {"Open OK", "done"},
};

// Transactions per phase of the open in progress; fed by the driver's log callback.
class PhaseRecorder {
  public:
    void Start(GenicamMemoryCamera* camera) {
        mCamera = camera;
        mPhases.clear();
        mOrder.clear();
        mPhase = "connect";
        if (gTrace) {
            std::fprintf(stderr, "phase connect\n");
        }
        mAt = camera->Counted();
        mWalkEnd = mAt;
        mActive = true;
    }
    void Stop() {
        Switch("done");
        mActive = false;
    }
    void OnLine(const char* line) {
        if (!mActive || line == nullptr) {
            return;
        }
        if (std::strstr(line, "Create from category:") && std::strstr(line, " ended")) {
            mWalkEnd = mCamera->Counted();
        }
        if (std::strstr(line, "configuration loaded from file") && mPhase == "walk") {
            // The walk ends at its last category; the rest up to here is load and validate.
            Add("walk", mWalkEnd - mAt);
            mAt = mWalkEnd;
            mPhase = "load+validate";
            Switch("load+validate");
            return;
        }
        if (const char* pass = std::strstr(line, "Apply Parameters, iteration:")) {
            Switch("pass " + std::to_string(std::atoi(pass + 28)));
            return;
        }
        for (const Marker& marker : kMarkers) {
            if (std::strstr(line, marker.text) && mPhase != marker.phase) {
                Switch(marker.phase);
                return;
            }
        }
    }
    const std::vector<std::string>& Order() const { return mOrder; }
    Counted Get(const std::string& phase) const {
        const auto it = mPhases.find(phase);
        return it == mPhases.end() ? Counted() : it->second;
    }
    int64_t Total() const {
        int64_t total = 0;
        for (const auto& phase : mPhases) {
            total += phase.second.Count();
        }
        return total;
    }

  private:
    void Switch(const std::string& next) {
        const Counted now = mCamera->Counted();
        Add(mPhase, now - mAt);
        mAt = now;
        mPhase = next;
        if (gTrace) {
            std::fprintf(stderr, "phase %s\n", next.c_str());
        }
    }
    void Add(const std::string& phase, const Counted& counted) {
        if (phase == "done") {
            return;
        }
        if (mPhases.find(phase) == mPhases.end()) {
            mOrder.push_back(phase);
        }
        Counted& sum = mPhases[phase];
        sum.reads += counted.reads;
        sum.writes += counted.writes;
        sum.readBytes += counted.readBytes;
        sum.writtenBytes += counted.writtenBytes;
    }

    GenicamMemoryCamera* mCamera = nullptr;
    bool mActive = false;
    std::string mPhase;
    Counted mAt;
    Counted mWalkEnd;
    std::map<std::string, Counted> mPhases;
    std::vector<std::string> mOrder;
};

PhaseRecorder gRecorder;
std::atomic<int> gFrames{0};

void OnLog(const char* line) {
    gRecorder.OnLine(line);
}

void OnFrame(int, int) {
    ++gFrames;
}

struct OpenFigures {
    bool opened = false;
    double seconds = 0;
    PhaseRecorder phases;
    Counted grabSetUp;
};

OpenFigures OpenOnce(GenicamMemoryCamera& camera, const std::string& name, bool grab) {
    OpenFigures figures;
    int size[2] = {0, 0};
    gRecorder.Start(&camera);
    const auto start = std::chrono::steady_clock::now();
    figures.opened = openCVLPort(0, 0, name.c_str(), size) == 1;
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    gRecorder.Stop();
    figures.phases = gRecorder;
    if (figures.opened && grab) {
        gFrames = 0;
        setCompleteCallback(0, 0, &OnFrame);
        const Counted before = camera.Counted();
        doCVLGrab(0, 0);
        for (int i = 0; i < 500 && gFrames == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        figures.grabSetUp = camera.Counted() - before;
        setCompleteCallback(0, 0, nullptr);
    }
    return figures;
}

std::string Phases(const OpenFigures& open) {
    std::string text;
    for (const std::string& phase : open.phases.Order()) {
        const Counted counted = open.phases.Get(phase);
        text += (text.empty() ? "" : ", ") + phase + " " + std::to_string(counted.reads) + "r/" +
                std::to_string(counted.writes) + "w";
    }
    return text;
}

std::string BaseName(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

}  // namespace

int main(int argc, char** argv) {
    int delayUs = 0;
    int roundTripUs = 200;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--delay-us=", 11) == 0) {
            delayUs = std::atoi(argv[i] + 11);
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            gTrace = true;
        } else if (std::strncmp(argv[i], "--round-trip-us=", 16) == 0) {
            roundTripUs = std::atoi(argv[i] + 16);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [--delay-us=N] [--round-trip-us=N] [--trace] FILE.xml...\n",
                     argv[0]);
        return 2;
    }
    setenv("OSTRAVELK_BACKENDS", "aravis", 1);
    unsetenv("OSTRAVELK_SIM_DIR");
    const int timeUs = delayUs > 0 ? delayUs : roundTripUs;
    std::printf(
        "| File | Reference | Open | Ratio | Open at %d us (s) | Second open | Ratio | Second at "
        "%d us (s) | Grab set-up |\n|---|---|---|---|---|---|---|---|---|\n",
        timeUs, timeUs);
    int failures = 0;
    for (const std::string& file : files) {
        auto source = std::make_shared<GenicamMemorySource>();
        std::shared_ptr<GenicamMemoryCamera> camera;
        try {
            camera = source->Add(file, "MEM01");
        } catch (const std::exception& e) {
            std::printf("| %s | not served: %s |\n", BaseName(file).c_str(), e.what());
            continue;
        }
        const int64_t reference = camera->CountReadingEveryValueOnce();
        camera->SetTransactionDelayUs(delayUs);
        if (gTrace) {
            std::fprintf(stderr, "file %s\n", BaseName(file).c_str());
            camera->SetTransactionObserver([](bool write, uint64_t address, uint32_t bytes) {
                std::fprintf(stderr, "%c %llx %u\n", write ? 'w' : 'r',
                             static_cast<unsigned long long>(address), bytes);
            });
        }
        sdk::AravisDeviceSource::Install(source);
        TempDirectory host("ostravelk-bench-open-");
        // The port's section makes the driver read the General section (trace level).
        std::ofstream(host.Path() + "/Ostravelk.ini")
            << "[Port.0.0]\n$Camera=" << camera->Model() << " (MEM01)\n[General]\nLogLevel=3\n";
        OpenFigures first;
        OpenFigures second;
        if (initialize(host.Path().c_str(), &OnLog) == 1 && getCVLNoOfSupportedCameras() == 1) {
            const std::string name = getCVLCameraConfigNames()[0];
            first = OpenOnce(*camera, name, true);
            closeCVLPort(0, 0);
            second = OpenOnce(*camera, name, false);
            closeCVLPort(0, 0);
        }
        finalize();
        sdk::AravisDeviceSource::Install(nullptr);
        auto time = [&](const OpenFigures& open) {
            const double seconds =
                delayUs > 0 ? open.seconds : open.seconds + open.phases.Total() * roundTripUs / 1e6;
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", seconds);
            return std::string(text);
        };
        auto ratio = [&](const OpenFigures& open) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f",
                          reference > 0 ? double(open.phases.Total()) / reference : 0.0);
            return std::string(text);
        };
        const bool ok = first.opened && second.opened && reference > 0 &&
                        first.phases.Total() <= reference && second.phases.Total() <= reference;
        failures += ok ? 0 : 1;
        std::printf("| %s | %lld | %lld (%s) | %s | %s | %lld (%s) | %s | %s | %lldr/%lldw |\n",
                    BaseName(file).c_str(), static_cast<long long>(reference),
                    static_cast<long long>(first.phases.Total()), Phases(first).c_str(),
                    first.opened ? ratio(first).c_str() : "not opened", time(first).c_str(),
                    static_cast<long long>(second.phases.Total()), Phases(second).c_str(),
                    second.opened ? ratio(second).c_str() : "not opened", time(second).c_str(),
                    static_cast<long long>(first.grabSetUp.reads),
                    static_cast<long long>(first.grabSetUp.writes));
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
