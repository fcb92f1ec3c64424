#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GenicamFileCheck.h"
#include "GenicamMemorySource.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/transport/TlFactory.h"

// The in-process test bed for the tests of the Aravis backend: real cameras' GenICam files
// (unpacked from data/genicam, see its SOURCES.md) and small descriptions of single faults
// (data/MinimalCamera.xml with a test's own features), served by GenicamMemoryCamera.
// Four of the real files, for tests that need a real camera of each kind.
inline const char* const kFiles[] = {"AVT_Mako_G125B.xml", "Basler-acA1300-60gm.xml",
                                     "Basler-scA640-70gm.xml", "ViewWorks_VNP604.xml"};

inline std::string RealFile(const std::string& name) {
    return std::string(OSTRAVELK_GENICAM_DATA) + "/" + name;
}

class GenicamBed : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("OSTRAVELK_BACKENDS", "aravis", 1);
        unsetenv("OSTRAVELK_SIM_DIR");
        mSource = std::make_shared<GenicamMemorySource>();
        sdk::AravisDeviceSource::Install(mSource);
    }
    void TearDown() override {
        if (mInitialized) {
            finalize();
        }
        sdk::AravisDeviceSource::Install(nullptr);
    }

    std::shared_ptr<GenicamMemoryCamera> Serve(const std::string& path) {
        return mSource->Add(path, "MEM01");
    }

    // The text of data/MinimalCamera.xml with the test's own features.
    static std::string MinimalText(const std::string& categoryFeatures, const std::string& nodes) {
        std::string text = ReadFile(OSTRAVELK_ARAVIS_TEST_DATA "/MinimalCamera.xml");
        text.replace(text.find("EXTRA_CATEGORY_FEATURES"), 23, categoryFeatures);
        text.replace(text.find("EXTRA_NODES"), 11, nodes);
        return text;
    }
    // The description written to a file of the test; its path.
    std::string Description(const std::string& text) {
        const std::string path = mDir.File("Minimal.xml");
        WriteFile(path, text);
        return path;
    }
    // The minimal description with the test's own features, as a file.
    std::string Minimal(const std::string& categoryFeatures, const std::string& nodes) {
        return Description(MinimalText(categoryFeatures, nodes));
    }

    std::unique_ptr<sdk::GigEInstantCamera> OpenCamera() {
        sdk::DeviceInfo entry;
        entry.SetDeviceClass(sdk::DeviceInfo::kClassGigE).SetSerialNumber("MEM01");
        auto camera = std::make_unique<sdk::GigEInstantCamera>(
            sdk::TlFactory::GetInstance().CreateDevice(entry));
        camera->Open();
        return camera;
    }

    // The served camera opened through the exports on port 0; the driver's camera.
    Camera* OpenThroughExports() {
        EXPECT_EQ(initialize(mHost.Path().c_str(), LogCapture::Callback()), 1);
        mInitialized = true;
        EXPECT_EQ(getCVLNoOfSupportedCameras(), 1);
        int size[2] = {0, 0};
        EXPECT_EQ(openCVLPort(0, 0, getCVLCameraConfigNames()[0], size), 1);
        return CameraList::Instance().GetByPort_(0);
    }

    std::vector<std::string> ErrorLines() const {
        std::vector<std::string> lines;
        for (const std::string& line : mLog.Messages()) {
            if (GenicamFileCheck::IsErrorLine(line)) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    TempDir mDir;
    TempDir mHost;
    LogCapture mLog;
    bool mInitialized = false;
    std::shared_ptr<GenicamMemorySource> mSource;
};

inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + (line.empty() || line.back() != '\n' ? "\n" : "");
    }
    return text;
}
