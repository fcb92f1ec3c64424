#include "sdk/sim/SimDevice.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "sdk/SdkLog.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/nodes/CommandNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/StringNode.h"
#include "sdk/sim/SimCameraFile.h"
#include "sdk/sim/SimFeatureTree.h"
#include "sdk/sim/SimImageDecoder.h"
#include "sdk/sim/SimRemovalWatcher.h"
#include "sdk/sim/SimStream.h"

namespace sdk {

namespace {

constexpr const char* kWhere = "SimDevice::SimDevice: ";

// The pictures of the file's ImageFile, decoded once; files that cannot be decoded are logged and
// left out.
std::vector<SimImage> LoadImages(const SimCameraFile& file) {
    std::vector<SimImage> images;
    const std::string& path = file.GetImagePath();
    if (path.empty()) {
        return images;
    }
    const std::vector<std::string> files = SimImageDecoder::ListFiles(path);
    for (const std::string& name : files) {
        SimImage image;
        std::string error;
        if (SimImageDecoder::DecodeFile(name, image, error)) {
            images.push_back(std::move(image));
        } else {
            SdkLog::Write(1, kWhere + file.GetPath() + ": picture " + name + " not used: " + error);
        }
    }
    if (images.empty()) {
        SdkLog::Write(1, kWhere + file.GetPath() + ": no picture in " + path +
                             (files.empty() ? " (missing or no picture files)" : "") +
                             "; the camera shows its test pattern");
    }
    return images;
}

}  // namespace

SimDevice::SimDevice(const DeviceInfo& info, const std::string& path, const SimCameraFile& file)
    : mInfo(info),
      mPath(path),
      mGigE(info.GetDeviceClass() == DeviceInfo::kClassGigE),
      mNodes(info.GetModelName()),
      mTLNodes(info.GetModelName() + " transport layer"),
      mWatcher(std::make_unique<SimRemovalWatcher>(path)) {
    const SimFeatureTree::Model model =
        SimFeatureTree::MakeModel(mGigE, file.GetModel(), file.GetSerial(), file.IsColor());
    SimFeatureTree::BuildDeviceMap(mNodes, model);
    SimFeatureTree::BuildTransportLayerMap(mTLNodes, model);
    std::vector<SimCameraFile::UnusedLine> unused = file.GetUnusedLines();
    for (const SimCameraFile::Setting& s : file.GetSettings()) {
        std::string why;
        if (mNodes.ApplyInitialValue(s.feature, s.selectorEntry, s.value, why)) {
            continue;
        }
        // Features unknown to the device may belong to the transport layer.
        std::string tlWhy;
        if (why == "unknown feature" &&
            mTLNodes.ApplyInitialValue(s.feature, s.selectorEntry, s.value, tlWhy)) {
            continue;
        }
        if (why == "unknown feature") {
            why = tlWhy;
        }
        const std::string key =
            s.selectorEntry.empty() ? s.feature : s.feature + "[" + s.selectorEntry + "]";
        unused.push_back({s.line, key + "=" + s.value, why});
    }
    std::sort(unused.begin(), unused.end(),
              [](const SimCameraFile::UnusedLine& a, const SimCameraFile::UnusedLine& b) {
                  return a.line < b.line;
              });
    for (const SimCameraFile::UnusedLine& line : unused) {
        SdkLog::Write(1, kWhere + file.Describe(line));
    }
    mUnusedLines = std::move(unused);
    SimFeatureTree::Normalize(mNodes);

    mStream = std::make_unique<SimStream>(mNodes, mGigE, LoadImages(file));
    SimRemovalWatcher* removal = mWatcher.get();
    mStream->SetRemovedProbe([removal] { return removal->IsRemoved(); });
    SimStream* stream = mStream.get();
    mNodes.Get<CommandNode>("AcquisitionStart").SetExecuteHandler([stream] {
        stream->AcquisitionStart();
    });
    mNodes.Get<CommandNode>("AcquisitionStop").SetExecuteHandler([stream] {
        stream->AcquisitionStop();
    });
    mNodes.Get<CommandNode>("TriggerSoftware").SetExecuteHandler([stream] {
        stream->SoftwareTrigger();
    });
    if (mGigE) {
        SimRemovalWatcher* watcher = mWatcher.get();
        IntegerNode& heartbeat = mTLNodes.Get<IntegerNode>("HeartbeatTimeout");
        heartbeat.AddWriteListener(
            [watcher, &heartbeat] { watcher->SetTimeout(heartbeat.ReadRaw()); });
    }
}

SimDevice::~SimDevice() {
    Close();
    mWatcher->SetCallback(nullptr);
}

int64_t SimDevice::RemovalTimeoutMs() const {
    if (!mGigE) {
        return kUsbRemovalTimeoutMs;
    }
    return static_cast<const IntegerNode&>(mTLNodes.Get<IntegerNode>("HeartbeatTimeout")).ReadRaw();
}

void SimDevice::Open() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mOpen) {
        return;
    }
    struct stat info;
    if (::stat(mPath.c_str(), &info) != 0) {
        throw RuntimeException("The device '" + mInfo.GetFriendlyName() + "' is not available (" +
                                   mPath + " is missing)",
                               __FILE__, __LINE__);
    }
    mStream->Reset();
    mWatcher->Start(RemovalTimeoutMs());
    mOpen = true;
}

void SimDevice::Close() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mOpen) {
        return;
    }
    mStream->Stop();
    mWatcher->Stop();
    mOpen = false;
}

bool SimDevice::IsRemoved() const {
    return mWatcher->IsRemoved();
}

void SimDevice::SetRemovalCallback(std::function<void()> callback) {
    mWatcher->SetCallback(std::move(callback));
}

size_t SimDevice::GetPayloadSize() {
    return static_cast<size_t>(mNodes.Get<IntegerNode>("PayloadSize").ReadRaw());
}

void SimDevice::StartStreaming(IStreamSink& sink) {
    CheckCanStartStreaming();
    mStream->Start(sink);
}

void SimDevice::QueueBuffer(void* data, size_t size, uint64_t handle) {
    mStream->Queue(data, size, handle);
}

void SimDevice::StopStreaming() {
    mStream->Stop();
}

}  // namespace sdk
