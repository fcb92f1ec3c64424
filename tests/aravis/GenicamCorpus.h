#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "GenicamBed.h"
#include "GenicamFileCheck.h"

// The real cameras' files as test parameters, and what every open of one must show. For test
// programs only (gtest).

// The files in name order; a build that tests a sample (OSTRAVELK_GENICAM_SAMPLE=N, the
// sanitizer builds) keeps every N-th.
inline std::vector<std::string> SortedSample(std::vector<std::string> files) {
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

// A test's name made of its file's name without ".xml", other characters than letters and
// digits as '_'.
inline std::string FileTestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// One open of a served file: the bed's frame size, the first apply pass succeeding, no error
// line, a single grab and continuous grabs whose rows equal the bed's frame.
inline void ExpectOpenAndGrabs(const GenicamFileCheck::Result& r,
                               const GenicamFileCheck::Open& open, const char* which) {
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
