#include <gtest/gtest.h>

#include <QImage>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// The area of interest and the pixel format changed on an open camera, idle and grabbing, through
// setProperty and through execCmd "set": every frame the host reads afterwards is the camera's
// frame at the new geometry and format. The camera shows one grey picture, so its frame at any
// geometry is known: sensor pixel (x, y) is picture pixel (x, y), black past the picture.
namespace {

using namespace std::chrono_literals;

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

uint8_t PictureValue(int x, int y) {
    return static_cast<uint8_t>((7 * x + 13 * y) % 251);
}

// What the host read in one completion callback, with the geometry it asked for then.
struct Frame {
    int generation = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    bool rowsRead = false;
    bool outsideRefused = false;  // row `height` and column `width` are refused
    std::vector<uint8_t> pixels;
};

struct Host {
    std::mutex lock;
    std::condition_variable arrived;
    std::atomic<int> generation{0};
    std::vector<Frame> frames;

    // Waits for count frames whose callbacks began in the current generation.
    std::vector<Frame> WaitForFrames(size_t count) {
        std::unique_lock<std::mutex> guard(lock);
        std::vector<Frame> current;
        arrived.wait_for(guard, 10s, [&] {
            current.clear();
            for (const Frame& f : frames) {
                if (f.generation == generation) current.push_back(f);
            }
            return current.size() >= count;
        });
        return current;
    }
};
Host* gHost = nullptr;

// A host's completion callback: asks for the size and pixel size, then copies every row out.
void OnComplete(int grabber, int port) {
    Frame f;
    f.generation = gHost->generation;
    int pixelSize = 0;
    if (getProperty(grabber, port, "Width", &f.width) == 1 &&
        getProperty(grabber, port, "Height", &f.height) == 1 &&
        getProperty(grabber, port, "PixelSize", &pixelSize) == 1 && f.width > 0 && f.height > 0) {
        f.bytesPerPixel = pixelSize / 8;
        const size_t row = static_cast<size_t>(f.width) * static_cast<size_t>(f.bytesPerPixel);
        f.pixels.resize(row * static_cast<size_t>(f.height));
        f.rowsRead = true;
        for (int y = 0; y < f.height && f.rowsRead; ++y) {
            f.rowsRead =
                getCVLGrabRow(grabber, port, f.pixels.data() + y * row, y, 0, f.width - 1) == 1;
        }
        std::vector<uint8_t> spare(row + 3 * 8);
        f.outsideRefused = getCVLGrabRow(grabber, port, spare.data(), f.height, 0, 0) == 0 &&
                           getCVLGrabRow(grabber, port, spare.data(), 0, f.width, f.width) == 0;
    }
    std::lock_guard<std::mutex> guard(gHost->lock);
    gHost->frames.push_back(std::move(f));
    gHost->arrived.notify_all();
}

struct Geometry {
    int offsetX = 0;
    int offsetY = 0;
    int width = kPictureWidth;
    int height = kPictureHeight;
    int bytesPerPixel = 1;
};

std::vector<uint8_t> Expected(const Geometry& g) {
    std::vector<uint8_t> out;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            const int px = g.offsetX + x;
            const int py = g.offsetY + y;
            const uint8_t v = px < kPictureWidth && py < kPictureHeight ? PictureValue(px, py) : 0;
            out.insert(out.end(), static_cast<size_t>(g.bytesPerPixel), v);
        }
    }
    return out;
}

// Where the first difference is, for the failure message.
std::string FirstDifference(const Frame& f, const std::vector<uint8_t>& want) {
    if (f.pixels.size() != want.size()) {
        return "size " + std::to_string(f.pixels.size()) + " instead of " +
               std::to_string(want.size());
    }
    for (size_t i = 0; i < want.size(); ++i) {
        if (f.pixels[i] != want[i]) {
            const size_t row = static_cast<size_t>(f.width * f.bytesPerPixel);
            return "row " + std::to_string(i / row) + " byte " + std::to_string(i % row) + ": " +
                   std::to_string(f.pixels[i]) + " instead of " + std::to_string(want[i]);
        }
    }
    return "none";
}

struct Case {
    const char* label;
    bool grabbing;    // continuous grabbing while the settings change
    bool viaExecCmd;  // execCmd "set" instead of setProperty
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.label;
}

class GeometryChange : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        gHost = &host;
        QImage picture(kPictureWidth, kPictureHeight, QImage::Format_Grayscale8);
        for (int y = 0; y < kPictureHeight; ++y) {
            for (int x = 0; x < kPictureWidth; ++x) picture.scanLine(y)[x] = PictureValue(x, y);
        }
        ASSERT_TRUE(picture.save(QString::fromStdString(sim.DeviceDir() + "/grey.png"), "PNG"));
        const std::string size = "ImageFile=grey.png\nWidth=" + std::to_string(kPictureWidth) +
                                 "\nHeight=" + std::to_string(kPictureHeight) + "\n";
        sim.Add("91000001.cam",
                "Class=BaslerGigE\nModel=SV1304-30gm\n" + size + "ExposureTimeAbs=1000\n");
        sim.Add("92000002.cam", "Class=BaslerUsb\nModel=SV1928-40uc\nPixelFormat=Mono8\n" + size +
                                    "ExposureTime=1000\n");
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
    }
    void TearDown() override {
        closeCVLPort(0, 0);
        EXPECT_EQ(finalize(), 1);
        gHost = nullptr;
    }

    void Open(const char* name) {
        int size[2] = {0, 0};
        ASSERT_EQ(openCVLPort(0, 0, name, size), 1);
        ASSERT_EQ(size[0], kPictureWidth);
        ASSERT_EQ(size[1], kPictureHeight);
        ASSERT_EQ(setCompleteCallback(0, 0, OnComplete), 1);
        if (GetParam().grabbing) {
            ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        }
    }

    void Set(const char* name, int value) {
        const Case& c = GetParam();
        if (c.viaExecCmd) {
            const std::string argument = std::string(name) + "=" + std::to_string(value);
            char result[8];
            ASSERT_EQ(execCmd(0, 0, "set", argument.c_str(), result, sizeof result), 1) << argument;
        } else {
            ASSERT_EQ(setProperty(0, 0, name, value), 1) << name << "=" << value;
        }
    }

    void SetFormat(const char* format) {
        char result[8];
        ASSERT_EQ(execCmd(0, 0, "set", (std::string("PixelFormat=") + format).c_str(), result,
                          sizeof result),
                  1)
            << format;
    }

    // The next frames, all begun after the change, are the camera's frame at g.
    void ExpectFrames(const Geometry& g, const std::string& step) {
        ++host.generation;
        const bool grabbing = GetParam().grabbing;
        std::vector<Frame> frames;
        if (grabbing) {
            // The first may have been converted before the change returned.
            frames = host.WaitForFrames(4);
            ASSERT_GE(frames.size(), 4u) << step << ": frames keep coming";
            frames.erase(frames.begin());
        } else {
            for (size_t i = 1; i <= 2; ++i) {
                ASSERT_EQ(doCVLGrab(0, 0), 1);
                frames = host.WaitForFrames(i);
                ASSERT_EQ(frames.size(), i) << step << ": single grab " << i << " is delivered";
            }
        }
        const std::vector<uint8_t> want = Expected(g);
        for (const Frame& f : frames) {
            EXPECT_EQ(f.width, g.width) << step;
            EXPECT_EQ(f.height, g.height) << step;
            EXPECT_EQ(f.bytesPerPixel, g.bytesPerPixel) << step;
            EXPECT_TRUE(f.rowsRead) << step << ": every row of the new size is there";
            EXPECT_TRUE(f.outsideRefused) << step << ": rows and columns past it are not";
            EXPECT_TRUE(f.pixels == want)
                << step << ": first difference " << FirstDifference(f, want);
        }
    }

    SimCameras sim;
    Host host;
};

TEST_P(GeometryChange, RowsFollowTheAreaOfInterest) {
    Open("SV1304-30gm (91000001)");
    Geometry g;
    ExpectFrames(g, "as opened");

    Set("Width", 160);
    g.width = 160;
    ExpectFrames(g, "narrower");
    Set("Height", 100);
    g.height = 100;
    ExpectFrames(g, "lower");
    Set("OffsetX", 32);
    g.offsetX = 32;
    ExpectFrames(g, "moved right");
    Set("OffsetY", 20);
    g.offsetY = 20;
    ExpectFrames(g, "moved down");
    // Larger than at the open: the grab buffers and the output image must grow.
    Set("Width", 400);
    g.width = 400;
    ExpectFrames(g, "wider than the picture");
    Set("Height", 300);
    g.height = 300;
    ExpectFrames(g, "taller than the picture");
    // Twice the bytes per pixel on the wire, the same 8-bit image for the host.
    SetFormat("Mono12");
    ExpectFrames(g, "Mono12");
}

TEST_P(GeometryChange, ImageFollowsThePixelFormat) {
    Open("SV1928-40uc (92000002)");
    Geometry g;
    ExpectFrames(g, "Mono8");
    SetFormat("RGB8");
    g.bytesPerPixel = 3;
    ExpectFrames(g, "RGB8");
    Set("Width", 200);
    g.width = 200;
    ExpectFrames(g, "RGB8, narrower");
    SetFormat("Mono8");
    g.bytesPerPixel = 1;
    ExpectFrames(g, "Mono8 again");
}

INSTANTIATE_TEST_SUITE_P(Paths, GeometryChange,
                         ::testing::Values(Case{"IdleSetProperty", false, false},
                                           Case{"IdleExecCmd", false, true},
                                           Case{"GrabbingSetProperty", true, false},
                                           Case{"GrabbingExecCmd", true, true}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
