#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "GenicamBed.h"
#include "GenicamFileCheck.h"
#include "GenicamUsbCamera.h"

// Every USB3 Vision camera's file of data/genicam (as SOURCES.md lists them) served on the
// emulated bus and driven through the exports: open, apply, grabs, and again after a reopen.
// The sanitizer builds take every OSTRAVELK_GENICAM_SAMPLE-th file.
namespace {

std::vector<std::string> UsbFiles() {
    std::vector<std::string> files;
    std::ifstream sources(OSTRAVELK_SOURCE_DIR "/tests/aravis/data/genicam/SOURCES.md");
    std::string line;
    while (std::getline(sources, line)) {
        if (line.compare(0, 2, "| ") != 0 || line.find("| USB3 Vision") == std::string::npos) {
            continue;
        }
        files.push_back(line.substr(2, line.find(' ', 2) - 2));
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

class UsbRealCamera : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        setenv("OSTRAVELK_BACKENDS", "aravis", 1);
        unsetenv("OSTRAVELK_SIM_DIR");
    }
};

}  // namespace

TEST(UsbRealFiles, SourcesListTheUsbCameras) {
    EXPECT_GE(UsbFiles().size(), 2u);
}

TEST_P(UsbRealCamera, OpensAppliesGrabsAndReopensOverUsb) {
    std::shared_ptr<GenicamUsbCamera> usb;
    const GenicamFileCheck::Result r =
        GenicamFileCheck::Run(RealFile(GetParam()), true, [&](const std::string& path) {
            usb = std::make_shared<GenicamUsbCamera>(path, "USB01");
            return std::shared_ptr<GenicamMemoryCamera>(usb, &usb->Registers());
        });
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    for (const GenicamFileCheck::Open* open : {&r.first, &r.second}) {
        SCOPED_TRACE(open == &r.first ? "first open" : "second open");
        EXPECT_TRUE(open->opened);
        EXPECT_EQ(open->width, r.frameWidth);
        EXPECT_EQ(open->height, r.frameHeight);
        EXPECT_EQ(open->applyPasses, 1);
        EXPECT_TRUE(open->errorLines.empty()) << Lines(open->errorLines);
        EXPECT_TRUE(open->singleGrab);
        EXPECT_TRUE(open->singleRows);
        EXPECT_GE(open->continuousFrames, 10);
        EXPECT_EQ(open->badRows, 0);
    }
    EXPECT_EQ(r.glibWarnings, 0);
    EXPECT_TRUE(r.Passed());
}

INSTANTIATE_TEST_SUITE_P(Genicam, UsbRealCamera, ::testing::ValuesIn(UsbFiles()), TestName);
