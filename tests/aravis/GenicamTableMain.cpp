// Prints the real-camera table of the README: each GenICam file given served as a camera
// (GenicamFileCheck) and driven through the driver's exports, opened twice.
//   ostravelk_genicam_table FILE.xml...   (-v also prints each file's error lines, and with
//   OSTRAVELK_TABLE_LOG=1 the whole log of a failing file, =all of every file)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GenicamFileCheck.h"

namespace {

std::string Passes(const GenicamFileCheck::Open& open) {
    return open.applyPasses > 0 ? std::to_string(open.applyPasses) : "not converged";
}

std::string Grabs(const GenicamFileCheck::Open& open) {
    if (!open.opened) {
        return "not opened";
    }
    std::string text = open.singleGrab ? (open.singleRows ? "rows equal" : "rows differ") : "none";
    text += ", " + std::to_string(open.continuousFrames);
    if (open.badRows != 0) {
        text += " (" + std::to_string(open.badRows) + " rows differ)";
    }
    return text;
}

void PrintLines(const std::string& file, const char* which, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::fprintf(stderr, "  %s (%s): %s", file.c_str(), which, line.c_str());
        if (line.empty() || line.back() != '\n') {
            std::fprintf(stderr, "\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0) {
            verbose = true;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [-v] FILE.xml...\n", argv[0]);
        return 2;
    }
    std::printf(
        "| File | Served image | Open (s): first / second | Parameters (per selector entry) / "
        "features "
        "| Error lines per open | Apply passes | Single grab, continuous frames "
        "| Second open: grabs | GLib warnings |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const std::string& file : files) {
        const GenicamFileCheck::Result r = GenicamFileCheck::Run(file);
        failures += r.Passed() ? 0 : 1;
        if (!r.failure.empty()) {
            std::printf("| %s | not served: %s | | | | | | | %d |\n", r.file.c_str(),
                        r.failure.c_str(), r.glibWarnings);
            std::fflush(stdout);
            continue;
        }
        std::printf(
            "| %s | %lld x %lld %s | %.1f / %.1f | %zu (%zu) / %zu | %zu / %zu | %s / %s | %s | %s "
            "| %d |\n",
            r.file.c_str(), static_cast<long long>(r.frameWidth),
            static_cast<long long>(r.frameHeight), r.frameFormat.c_str(), r.first.seconds,
            r.second.seconds, r.parameters, r.selected, r.features, r.first.errorLines.size(),
            r.second.errorLines.size(), Passes(r.first).c_str(), Passes(r.second).c_str(),
            Grabs(r.first).c_str(), Grabs(r.second).c_str(), r.glibWarnings);
        if (verbose) {
            PrintLines(r.file, "first open", r.first.errorLines);
            PrintLines(r.file, "second open", r.second.errorLines);
        }
        const char* logs = std::getenv("OSTRAVELK_TABLE_LOG");
        if (verbose && logs != nullptr && (!r.Passed() || std::strcmp(logs, "all") == 0)) {
            PrintLines(r.file, "log", r.log);
        }
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
