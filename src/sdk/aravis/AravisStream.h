#pragma once

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/aravis/AravisSupport.h"
#include "sdk/aravis/BlockIdCounter.h"

namespace sdk {

class IStreamSink;
struct FrameInfo;

// The image stream of an open Aravis device, filling the grab engine's buffers.
//
// Buffers: each buffer the engine queues is wrapped once in an Aravis buffer over the engine's
// memory (arv_buffer_new_full, the slot record as user data) and pushed to the stream; Aravis
// puts a finished buffer on its output queue and then calls the stream callback, which takes it
// back from that queue and reports it to the sink. Requeued buffers reuse their Aravis buffer.
//
// Frames per acquisition: Aravis' fake cameras ignore the acquisition mode, so the stream
// enforces it: after BeginAcquisition(n) with n > 0 only n frames are reported; later ones go
// straight back to the stream until the next BeginAcquisition.
//
// GigE Vision: Aravis' packet socket when the process may use it (CAP_NET_RAW) and
// OSTRAVELK_ARAVIS_PACKET_SOCKET is not "0"; otherwise a UDP socket whose receive buffer is sized
// here for kBufferedFrames payloads (at least kMinReceiveBuffer bytes): Aravis' own sizing asks
// for one payload only and is capped by net.core.rmem_max, which loses frames that arrive while
// its thread is busy. With CAP_NET_ADMIN the size is forced past rmem_max (SO_RCVBUFFORCE);
// without it the kernel caps it at rmem_max.
//
// Chunks: with chunk data in a buffer, every chunk feature of the tree (SetChunkFeatures) that
// Aravis' chunk parser finds in it becomes a FrameInfo chunk.
//
// Threading: Start/Stop/Queue/BeginAcquisition from the device's users; the callback runs on
// Aravis' stream thread and calls the sink without mMutex held. Start and Stop are serialised by
// mRunMutex (held while Aravis' stream is created or destroyed, which ends its thread; taken
// before mMutex), so two stops never both destroy one stream and a start never meets a stop
// half done; neither may be called from the sink. mMutex guards mSlots, mSink, mFramesLeft,
// mLimited, mBlockIds; mStream is set and cleared under mRunMutex while no stream thread runs.
class AravisStream {
  public:
    enum class ChunkType { Integer, Float, Boolean };
    struct ChunkFeature {
        std::string name;
        ChunkType type;
    };

    AravisStream(ArvDevice* device, bool gige);
    ~AravisStream();
    AravisStream(const AravisStream&) = delete;
    AravisStream& operator=(const AravisStream&) = delete;

    // Creates Aravis' stream for frames of payload bytes; throws RuntimeException when it
    // cannot.
    void Start(IStreamSink& sink, size_t payload);
    // Destroys Aravis' stream (its thread ends); afterwards no buffer is touched and no sink call
    // runs. Does nothing when stopped.
    void Stop();
    bool IsStarted() const;
    void Queue(void* data, size_t size, uint64_t handle);

    // Limits the frames reported from now on (0: no limit).
    void BeginAcquisition(uint64_t frameLimit);
    // Block ids start again (at open).
    void ResetBlockIds();
    void SetChunkFeatures(std::vector<ChunkFeature> features);

    static constexpr size_t kBufferedFrames = 4;
    static constexpr size_t kMinReceiveBuffer = 4u << 20;

    // Whether a GigE Vision stream would use Aravis' packet socket.
    static bool PacketSocketAllowed();
    // The receive buffer of the stream's UDP socket in bytes (as the kernel reports it); 0 when
    // stopped or without such a socket (packet socket, USB3 Vision).
    int ReceiveBufferBytes() const;

  private:
    struct Slot {
        AravisStream* owner = nullptr;
        ArvBuffer* buffer = nullptr;  // holds one reference
        void* data = nullptr;
        size_t size = 0;
        uint64_t handle = 0;
    };

    static void Callback(void* user, ArvStreamCallbackType type, ArvBuffer* buffer);
    void OnBufferDone(ArvBuffer* buffer);
    // Stop with mRunMutex held.
    void StopLocked();
    void Describe(ArvBuffer* buffer, FrameInfo& info);
    void ReleaseSlots();
    // The descriptor of the UDP socket bound to the stream's port, or -1.
    int StreamSocket() const;
    void SizeReceiveBuffer(size_t payload);

    aravis::GRef<ArvDevice> mDevice;
    const bool mGigE;
    std::mutex mRunMutex;
    std::atomic<ArvStream*> mStream{nullptr};
    aravis::GRef<ArvChunkParser> mChunkParser;  // used on the stream thread only while started
    std::vector<ChunkFeature> mChunkFeatures;   // same

    mutable std::mutex mMutex;
    IStreamSink* mSink = nullptr;
    std::unordered_map<uint64_t, Slot*> mSlots;  // by handle; the slots are heap records
    bool mLimited = false;
    uint64_t mFramesLeft = 0;
    BlockIdCounter mBlockIds;
};

}  // namespace sdk
