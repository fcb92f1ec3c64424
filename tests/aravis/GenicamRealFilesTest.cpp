#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "GenicamBed.h"
#include "GenicamCorpus.h"
#include "GenicamFileCheck.h"

// Every real camera's file of data/genicam served by the bed and driven through the exports:
// open at the bed's sensor-like size, apply converging, single and continuous grabs whose rows
// equal the bed's frame, and the same after closeCVLPort and a second open. The sanitizer
// builds take every OSTRAVELK_GENICAM_SAMPLE-th file.
namespace {

std::vector<std::string> RealFiles() {
    std::vector<std::string> files;
    if (DIR* dir = opendir(OSTRAVELK_GENICAM_DATA)) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0) {
                files.push_back(name);
            }
        }
        closedir(dir);
    }
    return SortedSample(files);
}

class RealCamera : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(RealCamera, OpensAppliesAndGrabsTheBedsFrameTwice) {
    const GenicamFileCheck::Result r = GenicamFileCheck::Run(RealFile(GetParam()));
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_GT(r.frameWidth, 1) << "a sensor-like size";
    EXPECT_GT(r.frameHeight, 1);
    ExpectOpenAndGrabs(r, r.first, "first open");
    ExpectOpenAndGrabs(r, r.second, "second open");
    EXPECT_EQ(r.glibWarnings, 0);
    EXPECT_TRUE(r.Passed());
    // Features under selectors give a parameter per entry; few features give none (commands).
    EXPECT_GE(r.parameters, r.features * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Genicam, RealCamera, ::testing::ValuesIn(RealFiles()), FileTestName);
