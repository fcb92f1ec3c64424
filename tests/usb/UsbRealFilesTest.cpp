#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "GenicamBed.h"
#include "GenicamCorpus.h"
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
    return SortedSample(files);
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
    ExpectOpenAndGrabs(r, r.first, "first open");
    ExpectOpenAndGrabs(r, r.second, "second open");
    EXPECT_EQ(r.glibWarnings, 0);
    EXPECT_TRUE(r.Passed());
}

INSTANTIATE_TEST_SUITE_P(Genicam, UsbRealCamera, ::testing::ValuesIn(UsbFiles()), FileTestName);
