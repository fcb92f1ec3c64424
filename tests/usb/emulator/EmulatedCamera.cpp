#include "EmulatedCamera.h"

#include <algorithm>
#include <cstring>

namespace {

// GenCP over USB3 Vision: packets begin with this prefix (little endian throughout).
constexpr uint32_t kCommandPrefix = 0x43563355;  // "U3VC"
constexpr uint32_t kLeaderPrefix = 0x4C563355;   // "U3VL"
constexpr uint32_t kTrailerPrefix = 0x54563355;  // "U3VT"
constexpr uint16_t kReadMemory = 0x0800;
constexpr uint16_t kWriteMemory = 0x0802;
constexpr uint16_t kRequestAck = 0x4000;
constexpr uint16_t kStatusSuccess = 0x0000;
constexpr uint16_t kStatusNotImplemented = 0x8001;
constexpr uint16_t kStatusInvalidParameter = 0x8002;
constexpr uint16_t kStatusInvalidAddress = 0x8003;
constexpr uint16_t kStatusWriteProtect = 0x8004;
constexpr size_t kHeader = 12;

// Bootstrap register offsets.
constexpr uint32_t kAbrmSize = 0x400;
constexpr uint32_t kAbrmGencpVersion = 0x0000;
constexpr uint32_t kAbrmManufacturer = 0x0004;
constexpr uint32_t kAbrmModel = 0x0044;
constexpr uint32_t kAbrmFamily = 0x0084;
constexpr uint32_t kAbrmDeviceVersion = 0x00C4;
constexpr uint32_t kAbrmSerial = 0x0144;
constexpr uint32_t kAbrmUserName = 0x0184;
constexpr uint32_t kAbrmMaxResponseTime = 0x01CC;
constexpr uint32_t kAbrmManifestAddress = 0x01D0;
constexpr uint32_t kAbrmSbrmAddress = 0x01D8;
constexpr uint32_t kAbrmProtocolEndianness = 0x0208;
constexpr uint32_t kAbrmImplementationEndianness = 0x020C;
constexpr uint32_t kSbrmSize = 0x44;
constexpr uint32_t kSbrmVersion = 0x00;
constexpr uint32_t kSbrmCapability = 0x04;
constexpr uint32_t kSbrmMaxCommand = 0x14;
constexpr uint32_t kSbrmMaxAck = 0x18;
constexpr uint32_t kSbrmStreamChannels = 0x1C;
constexpr uint32_t kSbrmSirmAddress = 0x20;
constexpr uint32_t kSbrmSirmLength = 0x28;
constexpr uint32_t kSbrmCurrentSpeed = 0x40;
constexpr uint32_t kSirmSize = 0x40;
constexpr uint32_t kSirmControl = 0x04;
constexpr uint32_t kSirmRequiredPayload = 0x08;
constexpr uint32_t kSirmRequiredLeader = 0x10;
constexpr uint32_t kSirmRequiredTrailer = 0x14;
constexpr uint32_t kSirmMaxLeader = 0x18;
constexpr uint32_t kSirmPayloadSize = 0x1C;
constexpr uint32_t kSirmPayloadCount = 0x20;
constexpr uint32_t kSirmTransfer1 = 0x24;
constexpr uint32_t kSirmTransfer2 = 0x28;

template <class T>
void Put(std::vector<uint8_t>& bytes, size_t at, T value) {
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[at + i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
    }
}

template <class T>
T Get(const uint8_t* bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        value |= uint64_t(bytes[i]) << (8 * i);
    }
    return static_cast<T>(value);
}

void PutText(std::vector<uint8_t>& bytes, size_t at, const std::string& text) {
    std::memcpy(&bytes[at], text.data(), std::min<size_t>(text.size(), 63));
}

std::string Text(const char* text) {
    return text ? text : "";
}

}  // namespace

EmulatedCamera::EmulatedCamera(const OstravelkUsbCamera& camera)
    : mCamera(camera),
      mVendor(Text(camera.vendor)),
      mModel(Text(camera.model)),
      mSerial(Text(camera.serial)),
      mGuid("EMU-" + mSerial),
      mXml(camera.xml, camera.xmlSize),
      mAbrm(kAbrmSize, 0),
      mSbrm(kSbrmSize, 0),
      mSirm(kSirmSize, 0),
      mManifest(8 + 64, 0) {
    mCamera.vendor = mCamera.model = mCamera.serial = mCamera.xml = nullptr;
    Put<uint32_t>(mAbrm, kAbrmGencpVersion, 0x00010000);
    PutText(mAbrm, kAbrmManufacturer, mVendor);
    PutText(mAbrm, kAbrmModel, mModel);
    PutText(mAbrm, kAbrmFamily, mModel);
    PutText(mAbrm, kAbrmDeviceVersion, "1.0");
    PutText(mAbrm, kAbrmSerial, mSerial);
    Put<uint32_t>(mAbrm, kAbrmMaxResponseTime, 100);
    Put<uint64_t>(mAbrm, kAbrmManifestAddress, kManifestAddress);
    Put<uint64_t>(mAbrm, kAbrmSbrmAddress, kSbrmAddress);
    Put<uint32_t>(mAbrm, kAbrmProtocolEndianness, 0xFFFFFFFF);
    Put<uint32_t>(mAbrm, kAbrmImplementationEndianness, 0xFFFFFFFF);
    Put<uint32_t>(mSbrm, kSbrmVersion, 0x00010000);
    Put<uint64_t>(mSbrm, kSbrmCapability, 1);  // a stream interface
    Put<uint32_t>(mSbrm, kSbrmMaxCommand, kMaxTransfer);
    Put<uint32_t>(mSbrm, kSbrmMaxAck, kMaxTransfer);
    Put<uint32_t>(mSbrm, kSbrmStreamChannels, 1);
    Put<uint64_t>(mSbrm, kSbrmSirmAddress, kSirmAddress);
    Put<uint32_t>(mSbrm, kSbrmSirmLength, kSirmSize);
    Put<uint32_t>(mSbrm, kSbrmCurrentSpeed, 0x8);  // SuperSpeed
    Put<uint32_t>(mSirm, kSirmRequiredLeader, kLeaderSize);
    Put<uint32_t>(mSirm, kSirmRequiredTrailer, kTrailerSize);
    Put<uint64_t>(mManifest, 0, 1);
    Put<uint32_t>(mManifest, 8, 0x00010000);   // file version 1.0.0
    Put<uint32_t>(mManifest, 12, 0x00010000);  // schema 1.0, uncompressed
    Put<uint64_t>(mManifest, 16, kXmlAddress);
    Put<uint64_t>(mManifest, 24, mXml.size());
}

uint8_t* EmulatedCamera::Own(uint64_t address, uint64_t& count) {
    struct Region {
        uint64_t base;
        std::vector<uint8_t>* bytes;
    };
    Region regions[] = {{0, &mAbrm},
                        {kSbrmAddress, &mSbrm},
                        {kSirmAddress, &mSirm},
                        {kManifestAddress, &mManifest}};
    uint64_t next = address < kXmlAddress ? kXmlAddress : UINT64_MAX;
    for (const Region& region : regions) {
        if (address >= region.base && address - region.base < region.bytes->size()) {
            count = region.bytes->size() - (address - region.base);
            return region.bytes->data() + (address - region.base);
        }
        if (region.base > address) {
            next = std::min(next, region.base);
        }
    }
    count = next > address ? next - address : UINT64_MAX;
    return nullptr;
}

bool EmulatedCamera::Read(uint64_t address, uint32_t size, uint8_t* out) {
    if (address == kSirmAddress + kSirmRequiredPayload && !mForgotten) {
        Put<uint64_t>(mSirm, kSirmRequiredPayload, mCamera.payloadSize(mCamera.user));
    }
    while (size > 0) {
        if (InXml(address)) {
            // Past the file's end (a read rounded up) come zeros.
            const size_t at = static_cast<size_t>(address - kXmlAddress);
            const size_t part = std::min<size_t>(size, mXml.size() - at);
            std::memcpy(out, mXml.data() + at, part);
            std::memset(out + part, 0, size - part);
            return true;
        }
        uint64_t count = 0;
        const uint8_t* own = Own(address, count);
        const uint32_t part = static_cast<uint32_t>(std::min<uint64_t>(size, count));
        if (own) {
            std::memcpy(out, own, part);
        } else if (mForgotten || mCamera.read(mCamera.user, address, part, out) != 0) {
            return false;
        }
        address += part;
        out += part;
        size -= part;
    }
    return true;
}

bool EmulatedCamera::Write(uint64_t address, uint32_t size, const uint8_t* in) {
    while (size > 0) {
        if (InXml(address)) {
            return false;
        }
        uint64_t count = 0;
        uint8_t* own = Own(address, count);
        const uint32_t part = static_cast<uint32_t>(std::min<uint64_t>(size, count));
        if (own) {
            // Of the bootstrap registers a host writes the user name and the stream interface's.
            const bool inSirm = own >= mSirm.data() && own < mSirm.data() + mSirm.size();
            const size_t sirm = inSirm ? static_cast<size_t>(own - mSirm.data()) : 0;
            const bool writable =
                (own >= &mAbrm[kAbrmUserName] && own < &mAbrm[kAbrmUserName] + 64) ||
                (inSirm && (sirm == kSirmControl || sirm >= kSirmMaxLeader));
            if (!writable) {
                return false;
            }
            std::memcpy(own, in, part);
            const bool enabled = Sirm32(kSirmControl) & 1;
            if (enabled && !mStreamEnabled) {
                mBlocks.clear();
                mNextFrame = std::chrono::steady_clock::now();
            }
            mStreamEnabled = enabled;
        } else {
            const int written = mForgotten ? OSTRAVELK_USB_WRITE_FAILED
                                           : mCamera.write(mCamera.user, address, part, in);
            if (written == OSTRAVELK_USB_WRITE_FAILED) {
                return false;
            }
            if (written == OSTRAVELK_USB_STARTED && !mAcquiring) {
                mAcquiring = true;
                mNextFrame = std::chrono::steady_clock::now();
            } else if (written == OSTRAVELK_USB_STOPPED) {
                mAcquiring = false;
            }
        }
        address += part;
        in += part;
        size -= part;
    }
    return true;
}

uint32_t EmulatedCamera::Sirm32(uint32_t offset) const {
    return Get<uint32_t>(&mSirm[offset]);
}

std::vector<uint8_t> EmulatedCamera::Command(const uint8_t* packet, size_t size) {
    if (size < kHeader || Get<uint32_t>(packet) != kCommandPrefix) {
        return {};
    }
    const uint16_t flags = Get<uint16_t>(packet + 4);
    const uint16_t command = Get<uint16_t>(packet + 6);
    const uint16_t length = Get<uint16_t>(packet + 8);
    const uint16_t id = Get<uint16_t>(packet + 10);
    const uint8_t* data = packet + kHeader;
    uint16_t status = kStatusSuccess;
    std::vector<uint8_t> ack(kHeader, 0);
    if (size < kHeader + length) {
        status = kStatusInvalidParameter;
    } else if (command == kReadMemory && length >= 12) {
        const uint64_t address = Get<uint64_t>(data);
        const uint16_t count = Get<uint16_t>(data + 10);
        if (count > kMaxTransfer - kHeader) {
            status = kStatusInvalidParameter;
        } else {
            ack.resize(kHeader + count, 0);
            if (!Read(address, count, &ack[kHeader])) {
                status = kStatusInvalidAddress;
                ack.resize(kHeader);
            }
        }
    } else if (command == kWriteMemory && length >= 8) {
        const uint64_t address = Get<uint64_t>(data);
        const uint16_t count = static_cast<uint16_t>(length - 8);
        if (!Write(address, count, data + 8)) {
            status = InXml(address) ? kStatusInvalidAddress : kStatusWriteProtect;
        }
        ack.resize(kHeader + 4, 0);
        Put<uint16_t>(ack, kHeader + 2, status == kStatusSuccess ? count : 0);
    } else {
        status = kStatusNotImplemented;
    }
    if (!(flags & kRequestAck)) {
        return {};
    }
    Put<uint32_t>(ack, 0, kCommandPrefix);
    Put<uint16_t>(ack, 4, status);
    Put<uint16_t>(ack, 6, static_cast<uint16_t>(command + 1));
    Put<uint16_t>(ack, 8, static_cast<uint16_t>(ack.size() - kHeader));
    Put<uint16_t>(ack, 10, id);
    return ack;
}

void EmulatedCamera::MakeFrame() {
    mBlocks.clear();
    if (mForgotten) {
        return;
    }
    const uint64_t payload = mCamera.payloadSize(mCamera.user);
    mPayload.assign(payload, 0);
    OstravelkUsbFrame frame{0, 0, 0};
    if (mCamera.frame(mCamera.user, mFrameIndex, &frame, mPayload.data(), mPayload.size()) == 0) {
        mAcquiring = false;  // this frame is still sent whole
    }
    // Block ids count from 0, as USB3 Vision devices number their blocks.
    const uint64_t block = mFrameIndex++;
    const auto now = std::chrono::steady_clock::now();
    const uint64_t timestamp = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count());
    mLeader.assign(kLeaderSize, 0);
    Put<uint32_t>(mLeader, 0, kLeaderPrefix);
    Put<uint16_t>(mLeader, 6, kLeaderSize);
    Put<uint64_t>(mLeader, 8, block);
    Put<uint16_t>(mLeader, 18, 1);  // image
    Put<uint64_t>(mLeader, 20, timestamp);
    Put<uint32_t>(mLeader, 28, frame.pixelFormat);
    Put<uint32_t>(mLeader, 32, frame.width);
    Put<uint32_t>(mLeader, 36, frame.height);
    mTrailer.assign(kTrailerSize, 0);
    Put<uint32_t>(mTrailer, 0, kTrailerPrefix);
    Put<uint16_t>(mTrailer, 6, kTrailerSize);
    Put<uint64_t>(mTrailer, 8, block);
    Put<uint64_t>(mTrailer, 20, payload);
    Put<uint32_t>(mTrailer, 28, frame.height);

    // The payload goes in the transfers the host configured: a count of equal ones, then up to
    // two for the rest. Without a configuration it goes in one.
    mBlocks.push_back({mLeader.data(), mLeader.size()});
    const uint64_t each = Sirm32(kSirmPayloadSize);
    const uint64_t count = Sirm32(kSirmPayloadCount);
    uint64_t offset = 0;
    for (uint64_t i = 0; each > 0 && i < count && offset + each <= payload; ++i) {
        mBlocks.push_back({mPayload.data() + offset, each});
        offset += each;
    }
    for (const uint32_t transfer : {kSirmTransfer1, kSirmTransfer2}) {
        const uint64_t size = std::min<uint64_t>(Sirm32(transfer), payload - offset);
        if (size > 0) {
            mBlocks.push_back({mPayload.data() + offset, size});
            offset += size;
        }
    }
    if (offset < payload) {
        mBlocks.push_back({mPayload.data() + offset, payload - offset});
    }
    mBlocks.push_back({mTrailer.data(), mTrailer.size()});

    const auto period = std::chrono::microseconds(mCamera.framePeriodUs);
    mNextFrame = std::max(mNextFrame + period, now);
}

void EmulatedCamera::PowerCycle() {
    mStreamEnabled = false;
    mAcquiring = false;
    mBlocks.clear();
    Put<uint32_t>(mSirm, kSirmControl, 0);
}

void EmulatedCamera::ClearHalt() {
    mBlocks.clear();
}

size_t EmulatedCamera::Take(uint8_t* out, size_t size) {
    if (mBlocks.empty()) {
        return 0;
    }
    Block& block = mBlocks.front();
    const size_t part = std::min(size, block.size);
    std::memcpy(out, block.data, part);
    block.data += part;
    block.size -= part;
    if (block.size == 0) {
        mBlocks.pop_front();
        if (mBlocks.empty()) {
            ++mFramesSent;
        }
    }
    return part;
}
