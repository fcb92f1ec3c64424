#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "GenicamBed.h"
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
    std::sort(files.begin(), files.end());
#ifdef OSTRAVELK_GENICAM_SAMPLE
    std::vector<std::string> sample;
    for (size_t i = 0; i < files.size(); i += OSTRAVELK_GENICAM_SAMPLE) {
        sample.push_back(files[i]);
    }
    files.swap(sample);
#endif
    return files;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class RealCamera : public ::testing::TestWithParam<std::string> {};

void ExpectOpen(const GenicamFileCheck::Result& r, const GenicamFileCheck::Open& open,
                const char* which) {
    SCOPED_TRACE(which);
    EXPECT_TRUE(open.opened);
    EXPECT_EQ(open.width, r.frameWidth);
    EXPECT_EQ(open.height, r.frameHeight);
    // The set is read from the camera and the file holds nothing: the first pass writes
    // nothing, unless a value was read for the wrong selector entry.
    EXPECT_EQ(open.applyPasses, 1) << "Apply Parameters: Success in the first pass";
    EXPECT_TRUE(open.errorLines.empty()) << Lines(open.errorLines);
    EXPECT_TRUE(open.singleGrab);
    EXPECT_TRUE(open.singleRows) << "every row of the single frame equals the bed's";
    EXPECT_GE(open.continuousFrames, 10);
    EXPECT_EQ(open.badRows, 0);
}

}  // namespace

TEST_P(RealCamera, OpensAppliesAndGrabsTheBedsFrameTwice) {
    const GenicamFileCheck::Result r = GenicamFileCheck::Run(RealFile(GetParam()));
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_GT(r.frameWidth, 1) << "a sensor-like size";
    EXPECT_GT(r.frameHeight, 1);
    ExpectOpen(r, r.first, "first open");
    ExpectOpen(r, r.second, "second open");
    EXPECT_EQ(r.glibWarnings, 0);
    EXPECT_TRUE(r.Passed());
    // Features under selectors give a parameter per entry; few features give none (commands).
    EXPECT_GE(r.parameters, r.features * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Genicam, RealCamera, ::testing::ValuesIn(RealFiles()), TestName);
