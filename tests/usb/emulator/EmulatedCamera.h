#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "UsbEmulator.h"

// One USB3 Vision camera of the emulated bus: the bootstrap registers (ABRM, SBRM, SIRM), the
// manifest with one uncompressed GenICam file, the control protocol (GenCP read and write memory
// commands in, acknowledges out) and the stream (leader, payload transfers as the SIRM sets them,
// trailer) while the stream interface is enabled and the camera acquires. Other registers and the
// pixels come from the camera's callbacks.
//
// Threading: none of its own; the bus calls every member under its one lock.
class EmulatedCamera {
  public:
    // Where the emulator's own registers live, above the 48 bits description files use.
    static constexpr uint64_t kSbrmAddress = 0xFFFF000000000000ULL;
    static constexpr uint64_t kSirmAddress = kSbrmAddress + 0x1000;
    static constexpr uint64_t kManifestAddress = kSbrmAddress + 0x2000;
    static constexpr uint64_t kXmlAddress = kSbrmAddress + 0x10000;
    static constexpr uint32_t kMaxTransfer = 8192;  // largest command and acknowledge
    static constexpr uint16_t kLeaderSize = 52;
    static constexpr uint16_t kTrailerSize = 32;

    explicit EmulatedCamera(const OstravelkUsbCamera& camera);

    const std::string& Vendor() const { return mVendor; }
    const std::string& Model() const { return mModel; }
    const std::string& Serial() const { return mSerial; }
    const std::string& Guid() const { return mGuid; }

    // Handles one command packet; the acknowledge to send back (empty when the packet asks for
    // none or is not a command).
    std::vector<uint8_t> Command(const uint8_t* packet, size_t size);

    // The stream: whether a frame's transfers are wanted now, the time of the next frame, and the
    // bytes of the stream from where the host has read them (a transfer takes at most the rest of
    // one device transfer, as a short packet ends a USB transfer).
    bool Streaming() const { return mStreamEnabled && (mAcquiring || !mBlocks.empty()); }
    std::chrono::steady_clock::time_point NextFrameTime() const { return mNextFrame; }
    bool HasBlock() const { return !mBlocks.empty(); }
    void MakeFrame();
    size_t Take(uint8_t* out, size_t size);
    uint64_t FramesSent() const { return mFramesSent; }
    // Unplugged and plugged back: the stream interface off, no acquisition, no frame underway.
    void PowerCycle();
    // The host reset the stream endpoint: the frame underway is dropped.
    void ClearHalt();
    // The camera's callbacks are not used any more.
    void Forget() { mForgotten = true; }

  private:
    struct Block {
        const uint8_t* data;
        size_t size;
    };

    bool Read(uint64_t address, uint32_t size, uint8_t* out);
    bool Write(uint64_t address, uint32_t size, const uint8_t* in);
    // The emulator's register bytes at the address, or null when a callback serves it; count
    // tells how many bytes from there belong to the same kind.
    uint8_t* Own(uint64_t address, uint64_t& count);
    bool InXml(uint64_t address) const {
        return address >= kXmlAddress && address - kXmlAddress < mXml.size();
    }
    uint32_t Sirm32(uint32_t offset) const;

    OstravelkUsbCamera mCamera;
    std::string mVendor;
    std::string mModel;
    std::string mSerial;
    std::string mGuid;
    std::string mXml;
    std::vector<uint8_t> mAbrm;
    std::vector<uint8_t> mSbrm;
    std::vector<uint8_t> mSirm;
    std::vector<uint8_t> mManifest;
    bool mForgotten = false;
    bool mStreamEnabled = false;
    bool mAcquiring = false;
    std::chrono::steady_clock::time_point mNextFrame;
    uint64_t mFrameIndex = 0;
    uint64_t mFramesSent = 0;
    std::vector<uint8_t> mLeader;
    std::vector<uint8_t> mPayload;
    std::vector<uint8_t> mTrailer;
    std::deque<Block> mBlocks;
};
