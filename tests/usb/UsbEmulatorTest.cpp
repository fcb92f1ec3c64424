#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>

#include <cstring>
#include <string>
#include <vector>

#include "emulator/UsbEmulator.h"

// The emulator itself, through the libusb calls Aravis makes: what a host sees of its cameras
// (descriptors, strings), the control protocol and the stream's framing.
namespace {

constexpr uint64_t kSirm = 0xFFFF000000001000ULL;
constexpr uint64_t kBase = 0x10000;  // the camera's registers, above the bootstrap registers

struct Registers {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x100, 0);
    int starts = 0;
};

int Read(void* user, uint64_t address, uint32_t size, void* out) {
    auto* r = static_cast<Registers*>(user);
    if (address < kBase || address - kBase + size > r->bytes.size()) {
        return -1;
    }
    std::memcpy(out, &r->bytes[address - kBase], size);
    return 0;
}

int Write(void* user, uint64_t address, uint32_t size, const void* in) {
    auto* r = static_cast<Registers*>(user);
    if (address < kBase || address - kBase + size > r->bytes.size()) {
        return OSTRAVELK_USB_WRITE_FAILED;
    }
    std::memcpy(&r->bytes[address - kBase], in, size);
    if (address == kBase + 0x80) {
        ++r->starts;
        return OSTRAVELK_USB_STARTED;
    }
    return OSTRAVELK_USB_WRITTEN;
}

uint64_t PayloadSize(void*) {
    return 1000;
}

int Frame(void*, uint64_t index, OstravelkUsbFrame* frame, uint8_t* data, size_t capacity) {
    frame->width = 40;
    frame->height = 25;
    frame->pixelFormat = 0x01080001;
    std::memset(data, static_cast<int>(index + 1), capacity);
    return 1;
}

class UsbEmulatorBus : public ::testing::Test {
  protected:
    void SetUp() override {
        OstravelkUsbCamera camera{};
        camera.vendor = "Maker";
        camera.model = "Model-1";
        camera.serial = "SN7";
        camera.xml = "<RegisterDescription/>";
        camera.xmlSize = std::strlen(camera.xml);
        camera.user = &mRegisters;
        camera.read = &Read;
        camera.write = &Write;
        camera.payloadSize = &PayloadSize;
        camera.frame = &Frame;
        mCamera = ostravelk_usb_plug(&camera);
        ASSERT_GE(mCamera, 0);
        ASSERT_EQ(libusb_init(&mContext), 0);
        libusb_device** list = nullptr;
        ASSERT_EQ(libusb_get_device_list(mContext, &list), 1);
        mDevice = list[0];
        libusb_free_device_list(list, 1);
        ASSERT_EQ(libusb_open(mDevice, &mHandle), 0);
    }
    void TearDown() override {
        if (mHandle) {
            libusb_close(mHandle);
        }
        if (mContext) {
            libusb_exit(mContext);
        }
        ostravelk_usb_remove(mCamera);
    }

    // One GenCP command and its acknowledge's status and data.
    uint16_t Command(uint16_t id, uint64_t address, const std::vector<uint8_t>& data,
                     uint16_t readSize, std::vector<uint8_t>* answer = nullptr) {
        std::vector<uint8_t> packet(12 + 8 + (readSize ? 4 : data.size()), 0);
        const uint32_t prefix = 0x43563355;
        std::memcpy(&packet[0], &prefix, 4);
        const uint16_t header[4] = {0x4000, id, static_cast<uint16_t>(packet.size() - 12), 9};
        std::memcpy(&packet[4], header, 8);
        std::memcpy(&packet[12], &address, 8);
        if (readSize) {
            std::memcpy(&packet[22], &readSize, 2);
        } else {
            std::memcpy(&packet[20], data.data(), data.size());
        }
        int sent = 0;
        EXPECT_EQ(
            libusb_bulk_transfer(mHandle, 0x01, packet.data(), int(packet.size()), &sent, 100), 0);
        std::vector<uint8_t> ack(8192);
        int received = 0;
        EXPECT_EQ(libusb_bulk_transfer(mHandle, 0x81, ack.data(), int(ack.size()), &received, 100),
                  0);
        uint16_t status = 0xFFFF;
        uint16_t length = 0;
        std::memcpy(&status, &ack[4], 2);
        std::memcpy(&length, &ack[8], 2);
        EXPECT_EQ(received, 12 + length);
        if (answer) {
            answer->assign(ack.begin() + 12, ack.begin() + 12 + length);
        }
        return status;
    }
    uint16_t WriteU32(uint64_t address, uint32_t value) {
        std::vector<uint8_t> bytes(4);
        std::memcpy(bytes.data(), &value, 4);
        return Command(0x0802, address, bytes, 0);
    }
    std::vector<uint8_t> ReadBytes(uint64_t address, uint16_t size) {
        std::vector<uint8_t> answer;
        EXPECT_EQ(Command(0x0800, address, {}, size, &answer), 0);
        return answer;
    }
    // One transfer of the stream endpoint.
    std::vector<uint8_t> Stream(int size) {
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        int received = 0;
        EXPECT_EQ(libusb_bulk_transfer(mHandle, 0x82, bytes.data(), size, &received, 2000), 0);
        bytes.resize(static_cast<size_t>(received));
        return bytes;
    }

    Registers mRegisters;
    int mCamera = -1;
    libusb_context* mContext = nullptr;
    libusb_device* mDevice = nullptr;
    libusb_device_handle* mHandle = nullptr;
};

}  // namespace

TEST_F(UsbEmulatorBus, PresentsAUsb3VisionDeviceWithItsStrings) {
    libusb_config_descriptor* config = nullptr;
    ASSERT_EQ(libusb_get_config_descriptor(mDevice, 0, &config), 0);
    ASSERT_EQ(config->bNumInterfaces, 2);
    EXPECT_EQ(config->interface[0].altsetting[0].bInterfaceClass, 0xEF);
    EXPECT_EQ(config->interface[0].altsetting[0].bInterfaceSubClass, 0x05);
    EXPECT_EQ(config->interface[0].altsetting[0].bInterfaceProtocol, 0x00);
    EXPECT_EQ(config->interface[1].altsetting[0].bInterfaceProtocol, 0x02);
    libusb_free_config_descriptor(config);
    libusb_device_descriptor descriptor{};
    ASSERT_EQ(libusb_get_device_descriptor(mDevice, &descriptor), 0);
    unsigned char text[256];
    ASSERT_GT(libusb_get_string_descriptor_ascii(mHandle, descriptor.iProduct, text, 256), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "Model-1");
    ASSERT_GT(libusb_get_string_descriptor_ascii(mHandle, descriptor.iSerialNumber, text, 256), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "SN7");
}

TEST_F(UsbEmulatorBus, AnswersTheBootstrapRegistersAndTheCamerasOwn) {
    const std::vector<uint8_t> model = ReadBytes(0x44, 64);
    EXPECT_EQ(std::string(model.begin(), model.begin() + 7), "Model-1");
    // The manifest's one entry points at the file.
    std::vector<uint8_t> address = ReadBytes(0x1D0, 8);
    uint64_t manifest = 0;
    std::memcpy(&manifest, address.data(), 8);
    const std::vector<uint8_t> entry = ReadBytes(manifest + 8, 64);
    uint64_t file = 0;
    uint64_t size = 0;
    std::memcpy(&file, &entry[8], 8);
    std::memcpy(&size, &entry[16], 8);
    const std::vector<uint8_t> xml = ReadBytes(file, static_cast<uint16_t>(size));
    EXPECT_EQ(std::string(xml.begin(), xml.end()), "<RegisterDescription/>");
    // Other addresses are the camera's; what it refuses is refused, the ABRM's model is read-only.
    EXPECT_EQ(WriteU32(kBase + 0x10, 0x12345678), 0);
    EXPECT_EQ(mRegisters.bytes[0x10], 0x78);
    EXPECT_EQ(ReadBytes(kBase + 0x10, 4), std::vector<uint8_t>({0x78, 0x56, 0x34, 0x12}));
    std::vector<uint8_t> ignored;
    EXPECT_NE(Command(0x0800, 0x20000, {}, 4, &ignored), 0);
    EXPECT_NE(WriteU32(0x44, 1), 0);
}

TEST_F(UsbEmulatorBus, StreamsLeaderPayloadInTheConfiguredTransfersAndTrailer) {
    EXPECT_EQ(WriteU32(kSirm + 0x1C, 256), 0);  // payload transfer size
    EXPECT_EQ(WriteU32(kSirm + 0x20, 3), 0);    // count
    EXPECT_EQ(WriteU32(kSirm + 0x24, 232), 0);  // transfer 1: the rest
    EXPECT_EQ(WriteU32(kSirm + 0x04, 1), 0);    // stream enable
    EXPECT_EQ(WriteU32(kBase + 0x80, 1), 0);    // the camera's AcquisitionStart
    EXPECT_EQ(mRegisters.starts, 1);
    for (uint8_t frame = 1; frame <= 2; ++frame) {
        const std::vector<uint8_t> leader = Stream(1024);
        ASSERT_EQ(leader.size(), 52u);
        EXPECT_EQ(std::string(leader.begin(), leader.begin() + 4), "U3VL");
        uint64_t block = 0;
        uint32_t width = 0;
        std::memcpy(&block, &leader[8], 8);
        std::memcpy(&width, &leader[32], 4);
        EXPECT_EQ(block, frame - 1u) << "block ids count from 0";
        EXPECT_EQ(width, 40u);
        for (const size_t expected : {256u, 256u, 256u, 232u}) {
            const std::vector<uint8_t> payload = Stream(4096);
            ASSERT_EQ(payload.size(), expected) << "a short transfer ends where the device's does";
            EXPECT_EQ(payload.front(), frame);
        }
        const std::vector<uint8_t> trailer = Stream(1024);
        ASSERT_EQ(trailer.size(), 32u);
        EXPECT_EQ(std::string(trailer.begin(), trailer.begin() + 4), "U3VT");
    }
    EXPECT_GE(ostravelk_usb_frames_sent(mCamera), 2u);
}

TEST_F(UsbEmulatorBus, AnUnpluggedDeviceFailsItsTransfersAndLeavesTheList) {
    ostravelk_usb_unplug(mCamera);
    std::vector<uint8_t> buffer(64);
    int count = 0;
    EXPECT_EQ(libusb_bulk_transfer(mHandle, 0x01, buffer.data(), 64, &count, 100),
              LIBUSB_ERROR_NO_DEVICE);
    libusb_device** list = nullptr;
    EXPECT_EQ(libusb_get_device_list(mContext, &list), 0);
    libusb_free_device_list(list, 1);
    ostravelk_usb_replug(mCamera);
    EXPECT_EQ(libusb_bulk_transfer(mHandle, 0x01, buffer.data(), 64, &count, 100),
              LIBUSB_ERROR_NO_DEVICE)
        << "the old handle stays dead: the device plugged back is a new one";
    ASSERT_EQ(libusb_get_device_list(mContext, &list), 1);
    libusb_close(mHandle);
    mHandle = nullptr;
    EXPECT_EQ(libusb_open(list[0], &mHandle), 0);
    libusb_free_device_list(list, 1);
    EXPECT_EQ(ReadBytes(0x144, 3), std::vector<uint8_t>({'S', 'N', '7'}));
}
