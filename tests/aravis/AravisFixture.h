#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "FakeGvCamera.h"
#include "PrivateNetwork.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/transport/DeviceInfo.h"
#include "sdk/transport/TlFactory.h"

// A test with Aravis' fake GigE Vision camera running on 127.0.0.1 in the program's private
// network, and only the Aravis backend enabled. Skips (with the reason) without the namespace or
// without the fake camera program.
class AravisFakeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OSTRAVELK_REQUIRE_PRIVATE_NETWORK();
        if (aravistest::FakeGvCamera::Program().empty()) {
            GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed (Debian package aravis-tools)";
        }
        setenv("OSTRAVELK_BACKENDS", "aravis", 1);
        unsetenv("OSTRAVELK_SIM_DIR");
        mFake = std::make_unique<aravistest::FakeGvCamera>(FakeOptions());
        std::string problem;
        ASSERT_TRUE(mFake->Start(problem)) << problem;
    }

    virtual aravistest::FakeGvCamera::Options FakeOptions() const { return {}; }

    static sdk::DeviceInfoList Filter(const std::string& cls, const std::string& serial = "") {
        sdk::DeviceInfo entry;
        entry.SetDeviceClass(cls).SetSerialNumber(serial);
        return {entry};
    }

    // A GigE instant camera attached to the fake (found by class and serial, as the driver
    // finds its cameras) and opened.
    std::unique_ptr<sdk::GigEInstantCamera> OpenCamera(const std::string& serial = "GV01") {
        sdk::DeviceInfo entry;
        entry.SetDeviceClass(sdk::DeviceInfo::kClassGigE).SetSerialNumber(serial);
        auto camera = std::make_unique<sdk::GigEInstantCamera>(
            sdk::TlFactory::GetInstance().CreateDevice(entry));
        camera->Open();
        return camera;
    }

    std::unique_ptr<aravistest::FakeGvCamera> mFake;
};

// The same with the GenICam description of tests/aravis/data given to the fake.
class AravisOwnXmlTest : public AravisFakeTest {
  protected:
    aravistest::FakeGvCamera::Options FakeOptions() const override {
        aravistest::FakeGvCamera::Options options;
        options.genicam = OSTRAVELK_ARAVIS_TEST_DATA "/OstravelkFakeGv.xml";
        options.serial = "OSTR42";
        return options;
    }
};
