#pragma once

// Helpers for the parameter-set tests: simulated cameras, hand-built node maps and a log capture
// that switches tracing on.

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "parameters/CameraParameters.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/transport/TlFactory.h"

namespace partest {

// One of the shipped simulated cameras, open: "BaslerGigE" (acA1304-30gm (21000001), mono) or
// "BaslerUsb" (acA1928-40uc (22000002), colour).
class SimCamera {
  public:
    explicit SimCamera(const std::string& deviceClass,
                       const std::string& directory = OSTRAVELK_SOURCE_DIR "/sim/cameras") {
        setenv("OSTRAVELK_SIM_DIR", directory.c_str(), 1);
        if (deviceClass == "BaslerGigE") {
            mCamera = std::make_unique<sdk::GigEInstantCamera>();
        } else {
            mCamera = std::make_unique<sdk::UsbInstantCamera>();
        }
        sdk::DeviceInfo filter;
        filter.SetDeviceClass(deviceClass);
        mCamera->Attach(sdk::TlFactory::GetInstance().CreateDevice(filter));
        mCamera->Open();
    }

    sdk::INodeMap& Nodes() { return mCamera->GetNodeMap(); }
    std::string Name() const { return mCamera->GetDeviceInfo().GetFriendlyName(); }

    template <class View>
    View& Node(const char* name) {
        auto* view = sdk::As<View>(Nodes().GetNode(name));
        if (view == nullptr) {
            throw std::runtime_error(std::string("no node ") + name);
        }
        return *view;
    }

  private:
    std::unique_ptr<sdk::InstantCamera> mCamera;
};

// The parameter of that name and class in the set; throws when missing or of another class.
template <typename P>
P& Get(CameraParameters& parameters, const std::string& name) {
    auto* typed = dynamic_cast<P*>(parameters.Find(name));
    if (typed == nullptr) {
        throw std::runtime_error("no parameter " + name + " of the expected class");
    }
    return *typed;
}

inline std::vector<std::string> Names(const CameraParameters& parameters) {
    std::vector<std::string> names;
    for (const Param_& parameter : parameters) {
        names.push_back(parameter.mName);
    }
    return names;
}

// Captures the log with the given level switched on (3: traces too), debug output silenced.
class TracedLog : public LogCapture {
  public:
    explicit TracedLog(int level = 3) {
        GetDriverState().mLogLevel = level;
        GetDriverState().mLogDebugView = 0;
    }
    // Messages without their final line feed.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (std::string message : Messages()) {
            if (!message.empty() && message.back() == '\n') {
                message.pop_back();
            }
            lines.push_back(message);
        }
        return lines;
    }
    size_t Count(const std::string& line) const {
        size_t count = 0;
        for (const std::string& l : Lines()) {
            count += l == line ? 1 : 0;
        }
        return count;
    }
};

}  // namespace partest
