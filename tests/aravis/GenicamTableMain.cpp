// Prints the real-camera table of the README: each GenICam file given served as a camera
// (GenicamFileCheck) and driven through the driver's exports.
//   ostravelk_genicam_table FILE.xml...   (-v also prints each file's error lines)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GenicamFileCheck.h"

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
        "| File | Open (s) | Parameters / features | Error lines per open | Apply passes "
        "| Single grab | Continuous frames | GLib warnings |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const std::string& file : files) {
        const GenicamFileCheck::Result r = GenicamFileCheck::Run(file);
        const bool ok = r.opened && r.applyPasses > 0 && r.errorLines.empty() && r.singleGrab &&
                        r.continuousFrames >= 10 && r.glibWarnings == 0;
        failures += ok ? 0 : 1;
        std::printf("| %s | %.1f | %zu / %zu | %zu | %s | %s | %d | %d |\n", r.file.c_str(),
                    r.openSeconds, r.parameters, r.features, r.errorLines.size(),
                    r.applyPasses > 0 ? std::to_string(r.applyPasses).c_str() : "not converged",
                    r.singleGrab ? "yes" : "no", r.continuousFrames, r.glibWarnings);
        if (verbose) {
            for (const std::string& line : r.errorLines) {
                std::fprintf(stderr, "  %s: %s", r.file.c_str(), line.c_str());
                if (line.empty() || line.back() != '\n') {
                    std::fprintf(stderr, "\n");
                }
            }
        }
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
