#include "sdk/transport/TlFactory.h"

#include <cstdlib>
#include <functional>

#include "sdk/genapi/GenericException.h"
#include "sdk/sim/SimBackend.h"
#include "sdk/transport/Backend.h"
#include "sdk/transport/Device.h"

#ifdef OSTRAVELK_WITH_ARAVIS
namespace sdk {
std::unique_ptr<Backend> CreateAravisBackend();
}
#endif

namespace sdk {

namespace {

struct KnownBackend {
    const char* name;
    std::unique_ptr<Backend> (*create)();
};

// Every backend this build has, in enumeration order.
const std::vector<KnownBackend>& KnownBackends() {
    static const std::vector<KnownBackend> known = {
        {"sim", &CreateSimBackend},
#ifdef OSTRAVELK_WITH_ARAVIS
        {"aravis", &CreateAravisBackend},
#endif
    };
    return known;
}

// The names listed in OSTRAVELK_BACKENDS, or none when it is unset or blank.
std::vector<std::string> RequestedBackends() {
    std::vector<std::string> names;
    const char* env = std::getenv("OSTRAVELK_BACKENDS");
    if (!env) {
        return names;
    }
    std::string item;
    const std::string text = std::string(env) + ",";
    for (char c : text) {
        if (c == ',') {
            if (!item.empty()) {
                names.push_back(item);
            }
            item.clear();
        } else if (c != ' ' && c != '\t') {
            item += c;
        }
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

TlFactory& TlFactory::GetInstance() {
    static TlFactory factory;
    return factory;
}

TlFactory::TlFactory() = default;
TlFactory::~TlFactory() = default;

std::vector<std::string> TlFactory::GetEnabledBackendNames() const {
    const std::vector<std::string> requested = RequestedBackends();
    std::vector<std::string> names;
    for (const KnownBackend& known : KnownBackends()) {
        if (requested.empty() || Contains(requested, known.name)) {
            names.push_back(known.name);
        }
    }
    return names;
}

std::vector<Backend*> TlFactory::EnabledBackends() {
    std::vector<Backend*> enabled;
    for (const std::string& name : GetEnabledBackendNames()) {
        Backend* backend = nullptr;
        for (auto& entry : mBackends) {
            if (entry.first == name) {
                backend = entry.second.get();
            }
        }
        if (!backend) {
            for (const KnownBackend& known : KnownBackends()) {
                if (name == known.name) {
                    mBackends.emplace_back(name, known.create());
                    backend = mBackends.back().second.get();
                }
            }
        }
        if (backend) {
            enabled.push_back(backend);
        }
    }
    return enabled;
}

int TlFactory::EnumerateLocked(DeviceInfoList& found) {
    for (Backend* backend : EnabledBackends()) {
        backend->EnumerateDevices(found);
    }
    return static_cast<int>(found.size());
}

int TlFactory::EnumerateDevices(DeviceInfoList& devices, bool addToList) {
    return EnumerateDevices(devices, DeviceInfoList(), addToList);
}

int TlFactory::EnumerateDevices(DeviceInfoList& devices, const DeviceInfoList& filter,
                                bool addToList) {
    std::lock_guard<std::mutex> lock(mMutex);
    DeviceInfoList found;
    EnumerateLocked(found);
    if (!addToList) {
        devices.clear();
    }
    int count = 0;
    for (const DeviceInfo& device : found) {
        bool accepted = filter.empty();
        for (const DeviceInfo& entry : filter) {
            accepted = accepted || entry.Matches(device);
        }
        if (accepted) {
            devices.push_back(device);
            ++count;
        }
    }
    return count;
}

Device* TlFactory::CreateDevice(const DeviceInfo& info) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (Backend* backend : EnabledBackends()) {
        // An enumerated entry goes to its own backend, which knows whether it is still there.
        if (!info.GetBackendName().empty()) {
            if (info.GetBackendName() == backend->GetName() && !info.GetFullName().empty()) {
                return backend->CreateDevice(info).release();
            }
            continue;
        }
        // A filter: backend by backend, so that a device of an earlier backend costs no
        // enumeration of a later one (Aravis' GigE Vision discovery takes a second).
        DeviceInfoList found;
        backend->EnumerateDevices(found);
        for (const DeviceInfo& device : found) {
            const bool match = info.GetFullName().empty()
                                   ? info.Matches(device)
                                   : device.GetFullName() == info.GetFullName();
            if (match) {
                return backend->CreateDevice(device).release();
            }
        }
    }
    throw RuntimeException(
        "No device is available or no device contains the provided device info properties.",
        __FILE__, __LINE__);
}

void TlFactory::DestroyDevice(Device* device) {
    delete device;
}

}  // namespace sdk
