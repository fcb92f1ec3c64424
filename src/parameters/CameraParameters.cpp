// The parameter set itself: its parameters, look-ups, copies and the driver settings every set
// starts with. The walk, the apply and read-back and the file sections are in
// CameraParametersWalk.cpp, CameraParametersApply.cpp and CameraParametersFile.cpp.

#include "parameters/CameraParameters.h"

#include <exception>
#include <utility>

#include "parameters/CameraParametersShared.h"
#include "parameters/Param.h"

using namespace camera_parameters;

namespace {

const char* const kGeneralCategory = "General";

// std::exception carries no text of its own; this one does, for the set's argument checks.
class TextException : public std::exception {
  public:
    explicit TextException(const char* text) : mText(text) {}
    const char* what() const noexcept override { return mText; }

  private:
    const char* mText;
};

// Marks a parameter as a driver setting and fills in what all seven share.
void MakeDriverSetting(Param_& setting, bool persistent, const char* description) {
    setting.mGeneral = true;
    setting.mWritable = true;
    setting.mVisible = true;
    setting.mVolatile = false;
    setting.mChunk = false;
    setting.mPersistent = persistent;
    setting.mDescription = description;
}

}  // namespace

CameraParameters::CameraParameters(const std::atomic<int>* cameraPort, std::string cameraName)
    : mCameraPort(cameraPort), mCameraName(std::move(cameraName)) {
    CreateDriverSettings();
}

CameraParameters::~CameraParameters() = default;

bool CameraParameters::AddParameter_(std::unique_ptr<Param_> parameter) {
    if (!parameter) {
        throw TextException("CameraParameters::AddParameter_ null argument");
    }
    if (Contains(parameter->mName)) {
        return false;  // the earlier parameter of this name stays; this one is deleted
    }
    Append(std::move(parameter));
    return true;
}

bool CameraParameters::AddCopy(const Param_& parameter) {
    if (Contains(parameter.mName)) {
        return false;
    }
    Append(parameter.Clone());
    return true;
}

void CameraParameters::Assign(const CameraParameters& other) {
    if (&other == this) {
        return;
    }
    ClearParameters();
    for (const Param_& parameter : other) {
        AddCopy(parameter);
    }
}

void CameraParameters::ClearParameters() {
    mByName.clear();
    mParams.clear();
}

void CameraParameters::CopyValuesFrom(const CameraParameters& other) {
    for (Param_& parameter : *this) {
        parameter.CopyValueFrom(other.Find(parameter.mName));
    }
}

bool CameraParameters::Contains(const std::string& name) const {
    return mByName.count(name) != 0;
}

Param_* CameraParameters::Find(const std::string& name) {
    const auto found = mByName.find(name);
    return found != mByName.end() ? found->second : nullptr;
}

const Param_* CameraParameters::Find(const std::string& name) const {
    const auto found = mByName.find(name);
    return found != mByName.end() ? found->second : nullptr;
}

void CameraParameters::CreateCollapseStatus() {
    // Flags are appended while walking; they are invisible, so they never beget flags of their
    // own, and indexing keeps the walk valid while the list grows.
    for (size_t i = 0; i < mParams.size(); ++i) {
        const Param_& parameter = *mParams[i];
        if (!parameter.mVisible || parameter.mCategory.empty()) {
            continue;
        }
        const std::string name = parameter.mCategory + "_CollapseStatus";
        if (Contains(name)) {
            continue;
        }
        auto flag = std::make_unique<Param<bool>>(kGeneralCategory, name, true);
        flag->mGeneral = true;
        flag->mPersistent = false;
        flag->mVisible = false;
        flag->mWritable = false;
        flag->SetOption("SectionName", parameter.mCategory);
        AddParameter_(std::move(flag));
    }
}

void CameraParameters::CreateDriverSettings() {
    Param<int> logLevel(kGeneralCategory, "LogLevel", 1, 0, 4, 0);
    MakeDriverSetting(logLevel, true, "");
    AddCopy(logLevel);

    // Not persistent: file logging starts off in every process until a set switches it on.
    Param<bool> logIntoFile(kGeneralCategory, "LogIntoFile", false);
    MakeDriverSetting(logIntoFile, false, "");
    AddCopy(logIntoFile);

    Param<bool> useBgr(kGeneralCategory, "UseBGR", true);
    MakeDriverSetting(useBgr, true, "");
    AddCopy(useBgr);

    Param<bool> inhibitTerminate(kGeneralCategory, "InhibitPylonTerminate", true);
    MakeDriverSetting(inhibitTerminate, true,
                      "If enabled Pylon terminate function will not be called. Enable when using "
                      "several pylon drivers in the same profile, for example Basler Runner "
                      "together with Area Scan gige or firewire cameras");
    AddCopy(inhibitTerminate);

    Param<int> bufferCount(kGeneralCategory, "BufferCount", 5, 3, 25, 0);
    MakeDriverSetting(bufferCount, true, "Pylon image queue size for each camera.");
    AddCopy(bufferCount);

    Param<bool> reconnect(kGeneralCategory, "Reconnect", true);
    MakeDriverSetting(reconnect, true,
                      "Try to periodically reconnect camera if device removal is detected.");
    AddCopy(reconnect);

    Param<int> heartbeat(kGeneralCategory, "Heartbeat", 3000, 1000, 300000, 0);
    MakeDriverSetting(heartbeat, true,
                      "Heartbeat interval in ms. Determines how quickly camera removal is "
                      "detected. Not applicable to some cameras.");
    AddCopy(heartbeat);
}

void CameraParameters::Append(std::unique_ptr<Param_> parameter) {
    // Index first, so a failed allocation leaves list and index consistent.
    const auto entry = mByName.emplace(parameter->mName, parameter.get()).first;
    try {
        mParams.push_back(std::move(parameter));
    } catch (...) {
        mByName.erase(entry);
        throw;
    }
}
