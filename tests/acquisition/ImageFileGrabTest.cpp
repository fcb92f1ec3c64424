#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// Pictures from files through the whole road, as a host sees them: a camera file names a
// directory of three pictures; each single grab's completion callback reads the rows with
// getCVLGrabRow, and the frames are the pictures in file-name order, looped.
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

struct Frames {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::vector<uint8_t>> images;
    int width = 0;
    int bytesPerPixel = 1;
    int height = 0;
};
Frames* gFrames = nullptr;

// What a host does on completion: copy every row out.
void OnComplete(int grabber, int port) {
    Frames& f = *gFrames;
    const size_t row = static_cast<size_t>(f.width) * f.bytesPerPixel;
    std::vector<uint8_t> image(row * f.height);
    for (int y = 0; y < f.height; ++y) {
        if (getCVLGrabRow(grabber, port, image.data() + y * row, y, 0, f.width - 1) != 1) {
            image.clear();
            break;
        }
    }
    std::lock_guard<std::mutex> guard(f.lock);
    f.images.push_back(std::move(image));
    f.arrived.notify_all();
}

// Picture k: smooth ramps, distinct per picture (mono: grey; colour: red, green and blue).
QImage Picture(int k, bool colour) {
    QImage image(kWidth, kHeight, colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* line = image.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            if (colour) {
                line[3 * x] = static_cast<uint8_t>(x * 255 / (kWidth - 1));
                line[3 * x + 1] = static_cast<uint8_t>(y * 255 / (kHeight - 1));
                line[3 * x + 2] = static_cast<uint8_t>(30 + 80 * k);
            } else {
                line[x] = static_cast<uint8_t>((x + 2 * y + 70 * k) % 256);
            }
        }
    }
    return image;
}

// The picture's pixels in the host's row layout.
std::vector<uint8_t> Expected(const QImage& picture, bool bgr) {
    std::vector<uint8_t> out;
    const int bytes = picture.format() == QImage::Format_RGB888 ? 3 : 1;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* line = picture.constScanLine(y);
        out.insert(out.end(), line, line + kWidth * bytes);
    }
    if (bytes == 3 && bgr) {
        for (size_t i = 0; i < out.size(); i += 3) std::swap(out[i], out[i + 2]);
    }
    return out;
}

struct Case {
    const char* label;
    const char* file;  // camera file, without the ImageFile line
    const char* name;  // the camera's name
    bool colour;       // colour pictures and output
    int tolerance;     // 0: exact
};

class ImageFileGrab : public ::testing::TestWithParam<Case> {};

TEST_P(ImageFileGrab, FramesAreThePicturesInOrderAndLooped) {
    const Case& c = GetParam();
    SimCameras sim;
    const std::string dir = sim.DeviceDir() + "/pictures";
    std::filesystem::create_directory(dir);
    std::vector<QImage> pictures;
    for (int k = 0; k < 3; ++k) {
        pictures.push_back(Picture(k, c.colour));
        // Saved under names whose order is not the order of creation.
        const char* names[] = {"frame-1.png", "frame-2.png", "frame-10.png"};
        ASSERT_TRUE(pictures.back().save(QString::fromStdString(dir + "/" + names[k]), "PNG"));
    }
    std::swap(pictures[1], pictures[2]);  // file-name order: frame-1, frame-10, frame-2
    sim.Add("90000001.cam", std::string(c.file) +
                                "ImageFile=pictures\nWidth=" + std::to_string(kWidth) +
                                "\nHeight=" + std::to_string(kHeight) + "\n");

    Frames frames;
    gFrames = &frames;
    LogCapture log;
    ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
    int size[2] = {0, 0};
    ASSERT_EQ(openCVLPort(0, 0, c.name, size), 1);
    EXPECT_EQ(size[0], kWidth);
    EXPECT_EQ(size[1], kHeight);
    int pixelSize = 0, bgr = 0;
    ASSERT_EQ(getProperty(0, 0, "PixelSize", &pixelSize), 1);
    ASSERT_EQ(getProperty(0, 0, "UseBGR", &bgr), 1);
    ASSERT_EQ(pixelSize, c.colour ? 24 : 8);
    frames.width = size[0];
    frames.height = size[1];
    frames.bytesPerPixel = pixelSize / 8;
    ASSERT_EQ(setCompleteCallback(0, 0, OnComplete), 1);

    for (size_t i = 0; i < 7; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        std::unique_lock<std::mutex> guard(frames.lock);
        ASSERT_TRUE(frames.arrived.wait_for(guard, std::chrono::seconds(5),
                                            [&] { return frames.images.size() > i; }))
            << "grab " << i;
        const std::vector<uint8_t>& got = frames.images[i];
        const std::vector<uint8_t> want = Expected(pictures[i % 3], bgr != 0);
        ASSERT_EQ(got.size(), want.size()) << "grab " << i;
        int worst = 0;
        for (size_t p = 0; p < got.size(); ++p) {
            worst = std::max(worst, std::abs(int(got[p]) - int(want[p])));
        }
        EXPECT_LE(worst, c.tolerance) << "grab " << i << " should be picture " << i % 3;
    }
    EXPECT_EQ(log.Count("not used"), 0u) << ::testing::PrintToString(log.Matching("not used"));
    closeCVLPort(0, 0);
    EXPECT_EQ(finalize(), 1);
    gFrames = nullptr;
}

// Bilinear demosaicing of these ramps is off by rounding at most, plus a ramp step at the
// mirrored border.
constexpr int kDemosaicError = 3;

INSTANTIATE_TEST_SUITE_P(
    Cameras, ImageFileGrab,
    ::testing::Values(
        Case{"GigEMono8", "Class=BaslerGigE\nModel=SV1304-30gm\n", "SV1304-30gm (90000001)", false,
             0},
        Case{"GigEMono12Packed", "Class=BaslerGigE\nModel=SV1304-30gm\nPixelFormat=Mono12Packed\n",
             "SV1304-30gm (90000001)", false, 0},
        Case{"UsbMono12p", "Class=BaslerUsb\nModel=SV1928-40um\nPixelFormat=Mono12p\n",
             "SV1928-40um (90000001)", false, 0},
        Case{"UsbRgb8", "Class=BaslerUsb\nModel=SV1928-40uc\nPixelFormat=RGB8\n",
             "SV1928-40uc (90000001)", true, 0},
        Case{"GigERgb8", "Class=BaslerGigE\nModel=SV1304-30gc\nPixelFormat=RGB8Packed\n",
             "SV1304-30gc (90000001)", true, 0},
        Case{"UsbBayerGR12p", "Class=BaslerUsb\nModel=SV1928-40uc\nPixelFormat=BayerGR12p\n",
             "SV1928-40uc (90000001)", true, kDemosaicError},
        Case{"GigEBayerGR8", "Class=BaslerGigE\nModel=SV1304-30gm\nSensor=color\n",
             "SV1304-30gm (90000001)", true, kDemosaicError}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

}  // namespace
