#include "sdk/aravis/AravisStream.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sdk/genapi/GenericException.h"
#include "sdk/transport/FrameInfo.h"
#include "sdk/transport/IStreamSink.h"

namespace sdk {

using aravis::Text;

namespace {

const char* StatusText(ArvBufferStatus status) {
    switch (status) {
        case ARV_BUFFER_STATUS_SUCCESS:
            return "success";
        case ARV_BUFFER_STATUS_CLEARED:
            return "buffer cleared";
        case ARV_BUFFER_STATUS_TIMEOUT:
            return "time-out while receiving the frame";
        case ARV_BUFFER_STATUS_MISSING_PACKETS:
            return "packets of the frame are missing";
        case ARV_BUFFER_STATUS_WRONG_PACKET_ID:
            return "a packet of the frame has a wrong id";
        case ARV_BUFFER_STATUS_SIZE_MISMATCH:
            return "the frame does not fit the buffer";
        case ARV_BUFFER_STATUS_FILLING:
            return "the frame is still being filled";
        case ARV_BUFFER_STATUS_ABORTED:
            return "the frame was aborted";
        default:
            return "unknown frame status";
    }
}

// CAP_NET_RAW (bit 13) in the effective capability set of this process.
bool HasNetRaw() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 7, "CapEff:") == 0) {
            unsigned long long caps = 0;
            std::istringstream(line.substr(7)) >> std::hex >> caps;
            return (caps >> 13) & 1;
        }
    }
    return false;
}

}  // namespace

AravisStream::AravisStream(ArvDevice* device, bool gige)
    : mDevice(ARV_DEVICE(g_object_ref(device))), mGigE(gige) {}

AravisStream::~AravisStream() {
    Stop();
}

bool AravisStream::PacketSocketAllowed() {
    const char* env = std::getenv("OSTRAVELK_ARAVIS_PACKET_SOCKET");
    if (env && std::string(env) == "0") {
        return false;
    }
    return HasNetRaw();
}

void AravisStream::SetChunkFeatures(std::vector<ChunkFeature> features) {
    mChunkFeatures = std::move(features);
}

void AravisStream::Start(IStreamSink& sink, size_t payload) {
    std::lock_guard<std::mutex> run(mRunMutex);
    StopLocked();
    if (!mChunkParser && !mChunkFeatures.empty()) {
        mChunkParser.Reset(arv_device_create_chunk_parser(mDevice.Get()));
    }
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mSink = &sink;
        mLimited = false;
        mFramesLeft = 0;
    }
    if (mGigE && ARV_IS_GV_DEVICE(mDevice.Get())) {
        arv_gv_device_set_stream_options(ARV_GV_DEVICE(mDevice.Get()),
                                         PacketSocketAllowed()
                                             ? ARV_GV_STREAM_OPTION_NONE
                                             : ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
    }
    GError* error = nullptr;
    ArvStream* stream =
        arv_device_create_stream(mDevice.Get(), &AravisStream::Callback, this, &error);
    if (!stream) {
        std::lock_guard<std::mutex> lock(mMutex);
        mSink = nullptr;
        aravis::ThrowError(error, "The stream cannot be opened", __FILE__, __LINE__);
    }
    g_clear_error(&error);
    mStream = stream;
    if (ARV_IS_GV_STREAM(stream)) {
        // Aravis leaves a fixed buffer of size 0 as it is; the size is set here instead.
        g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED,
                     "socket-buffer-size", 0, nullptr);
        SizeReceiveBuffer(payload);
    }
}

int AravisStream::StreamSocket() const {
    ArvStream* stream = mStream.load();
    if (!stream || !ARV_IS_GV_STREAM(stream)) {
        return -1;
    }
    const guint16 port = arv_gv_stream_get_port(ARV_GV_STREAM(stream));
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds) {
        return -1;
    }
    int found = -1;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == ::dirfd(fds)) {
            continue;
        }
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port &&
            ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type == SOCK_DGRAM) {
            found = fd;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

void AravisStream::SizeReceiveBuffer(size_t payload) {
    const int fd = StreamSocket();
    if (fd < 0) {
        return;  // packet socket
    }
    size_t wanted = payload * kBufferedFrames;
    wanted = wanted < kMinReceiveBuffer ? kMinReceiveBuffer : wanted;
    const int bytes = wanted > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<int>(wanted);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);  // capped at rmem_max
    }
}

int AravisStream::ReceiveBufferBytes() const {
    const int fd = StreamSocket();
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) {
        return 0;
    }
    return bytes;
}

bool AravisStream::IsStarted() const {
    return mStream.load() != nullptr;
}

void AravisStream::Stop() {
    std::lock_guard<std::mutex> run(mRunMutex);
    StopLocked();
}

void AravisStream::StopLocked() {
    ArvStream* stream = mStream.load();
    if (!stream) {
        return;
    }
    // Ends Aravis' stream thread (and with it every callback) and drops its buffer references.
    g_object_unref(stream);
    mStream = nullptr;
    std::lock_guard<std::mutex> lock(mMutex);
    mSink = nullptr;
    ReleaseSlots();
}

void AravisStream::ReleaseSlots() {
    for (auto& entry : mSlots) {
        g_object_unref(entry.second->buffer);
        delete entry.second;
    }
    mSlots.clear();
}

void AravisStream::Queue(void* data, size_t size, uint64_t handle) {
    ArvStream* stream = mStream.load();
    if (!stream) {
        throw LogicalErrorException("QueueBuffer: the stream is not started", __FILE__, __LINE__);
    }
    ArvBuffer* buffer = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        Slot*& slot = mSlots[handle];
        if (slot && (slot->data != data || slot->size != size)) {
            g_object_unref(slot->buffer);
            delete slot;
            slot = nullptr;
        }
        if (!slot) {
            slot = new Slot;
            slot->owner = this;
            slot->data = data;
            slot->size = size;
            slot->handle = handle;
            slot->buffer = arv_buffer_new_full(size, data, slot, nullptr);
        }
        buffer = slot->buffer;
    }
    // The stream takes a reference of its own.
    arv_stream_push_buffer(stream, ARV_BUFFER(g_object_ref(buffer)));
}

void AravisStream::BeginAcquisition(uint64_t frameLimit) {
    std::lock_guard<std::mutex> lock(mMutex);
    mLimited = frameLimit > 0;
    mFramesLeft = frameLimit;
}

void AravisStream::ResetBlockIds() {
    std::lock_guard<std::mutex> lock(mMutex);
    mBlockIds.Reset();
}

void AravisStream::Callback(void* user, ArvStreamCallbackType type, ArvBuffer* buffer) {
    if (type == ARV_STREAM_CALLBACK_TYPE_BUFFER_DONE && buffer) {
        static_cast<AravisStream*>(user)->OnBufferDone(buffer);
    }
}

void AravisStream::OnBufferDone(ArvBuffer* buffer) {
    ArvStream* stream = mStream.load();
    // Aravis has put the buffer on its output queue before calling back; take it from there, so
    // that it can be pushed again once the sink has let go of it.
    ArvBuffer* popped = stream ? arv_stream_try_pop_buffer(stream) : nullptr;
    const Slot* slot = static_cast<const Slot*>(arv_buffer_get_user_data(buffer));
    FrameInfo info;
    IStreamSink* sink = nullptr;
    bool deliver = true;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        sink = mSink;
        // A buffer that failed before any of its frame arrived has frame id 0; fed to the
        // counter it would pass for a device that uses 0 and throw the count a cycle ahead.
        const guint64 raw = arv_buffer_get_frame_id(buffer);
        const bool carriesId =
            raw != 0 || arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS;
        info.blockId = carriesId ? mBlockIds.Next(raw) : mBlockIds.Last();
        if (mLimited) {
            if (mFramesLeft == 0) {
                deliver = false;
            } else {
                --mFramesLeft;
            }
        }
    }
    if (!deliver || !slot || slot->owner != this) {
        // Beyond the acquisition's frame count: straight back to the stream.
        if (popped && stream) {
            arv_stream_push_buffer(stream, popped);
        }
        return;
    }
    Describe(buffer, info);
    if (popped) {
        g_object_unref(popped);
    }
    if (sink) {
        sink->OnBufferDone(slot->handle, info);
    }
}

void AravisStream::Describe(ArvBuffer* buffer, FrameInfo& info) {
    const ArvBufferStatus status = arv_buffer_get_status(buffer);
    info.status = status == ARV_BUFFER_STATUS_SUCCESS ? FrameInfo::Status::Succeeded
                                                      : FrameInfo::Status::Failed;
    info.errorCode = static_cast<uint32_t>(status);
    if (status != ARV_BUFFER_STATUS_SUCCESS) {
        info.errorDescription = StatusText(status);
    }
    info.timeStamp = arv_buffer_get_timestamp(buffer);
    size_t size = 0;
    arv_buffer_get_data(buffer, &size);
    info.payloadSize = size;
    if (status != ARV_BUFFER_STATUS_SUCCESS) {
        return;
    }
    const ArvBufferPayloadType payload = arv_buffer_get_payload_type(buffer);
    if (payload == ARV_BUFFER_PAYLOAD_TYPE_IMAGE ||
        payload == ARV_BUFFER_PAYLOAD_TYPE_EXTENDED_CHUNK_DATA) {
        gint x = 0, y = 0, width = 0, height = 0, paddingX = 0, paddingY = 0;
        arv_buffer_get_image_region(buffer, &x, &y, &width, &height);
        arv_buffer_get_image_padding(buffer, &paddingX, &paddingY);
        size_t imageSize = 0;
        arv_buffer_get_image_data(buffer, &imageSize);
        info.pixelType = arv_buffer_get_image_pixel_format(buffer);
        info.offsetX = static_cast<uint32_t>(x);
        info.offsetY = static_cast<uint32_t>(y);
        info.width = static_cast<uint32_t>(width);
        info.height = static_cast<uint32_t>(height);
        info.paddingX = static_cast<uint32_t>(paddingX);
        info.payloadSize = imageSize;
    }
    if (!mChunkParser || !arv_buffer_has_chunks(buffer)) {
        return;
    }
    for (const ChunkFeature& feature : mChunkFeatures) {
        GError* error = nullptr;
        FrameInfo::Chunk chunk;
        chunk.name = feature.name;
        switch (feature.type) {
            case ChunkType::Integer:
                chunk.value = static_cast<int64_t>(arv_chunk_parser_get_integer_value(
                    mChunkParser.Get(), buffer, feature.name.c_str(), &error));
                break;
            case ChunkType::Float:
                chunk.value = arv_chunk_parser_get_float_value(mChunkParser.Get(), buffer,
                                                               feature.name.c_str(), &error);
                break;
            case ChunkType::Boolean:
                chunk.value = arv_chunk_parser_get_boolean_value(mChunkParser.Get(), buffer,
                                                                 feature.name.c_str(), &error)
                                  ? true
                                  : false;
                break;
        }
        if (error) {
            g_clear_error(&error);  // not in this frame
            continue;
        }
        info.chunks.push_back(std::move(chunk));
    }
}

}  // namespace sdk
