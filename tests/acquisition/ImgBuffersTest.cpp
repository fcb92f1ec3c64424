#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "acquisition/ImgBuffers.h"
#include "base/DriverState.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "parameters/Param.h"
#include "sdk/grab/GigEInstantCamera.h"

namespace {

// A camera that is never opened: its parameter set is filled by hand.
class ImgBuffersTest : public ::testing::Test {
  protected:
    ImgBuffersTest() : camera(CameraDeviceInfo(), new sdk::GigEInstantCamera()) {}

    void Geometry(int64_t width, int64_t height, const std::string& format, int pixelSize) {
        camera.mParameters.AddParameter_(
            std::make_unique<Param<int64_t>>("ImageFormat", "Width", width, 0, 100000, 1));
        camera.mParameters.AddParameter_(
            std::make_unique<Param<int64_t>>("ImageFormat", "Height", height, 0, 100000, 1));
        camera.mParameters.AddParameter_(
            std::make_unique<Param<std::string>>("ImageFormat", "PixelFormat", format));
        camera.mPixelSize = pixelSize;
    }

    LogCapture log;
    Camera camera;
    ImgBuffers& buffers = camera.mBuffers;
};

}  // namespace

TEST_F(ImgBuffersTest, PoolReusesBlocksAndGrowsOnlyWhenNeeded) {
    GetDriverState().mLogLevel = 3;
    void* data = nullptr;
    intptr_t context = 0;
    buffers.AllocateBuffer(4000, &data, context);
    auto* first = reinterpret_cast<ImgBuffer*>(context);
    EXPECT_EQ(first->mData, data);
    buffers.FreeBuffer(data, context);

    log.Clear();
    void* again = nullptr;
    buffers.AllocateBuffer(1000, &again, context);
    EXPECT_EQ(again, data) << "a large enough block is reused";
    EXPECT_FALSE(log.Contains("Allocating new buffer"));
    buffers.FreeBuffer(again, context);

    buffers.AllocateBuffer(5000, &again, context);
    EXPECT_TRUE(
        log.Contains("port99: trace: >>> Allocating new buffer, size=5000, ImgBuffer::Init"));
    EXPECT_TRUE(log.Contains("port99: trace: <<<Deleting memory, ptr="));
    EXPECT_EQ(first->mSize, 5000);
    EXPECT_EQ(buffers.PoolSize(), 1u);
}

TEST_F(ImgBuffersTest, AnEleventhBufferLeavesTheOthersInPlace) {
    std::vector<std::pair<void*, intptr_t>> held;
    for (int i = 0; i < 10; ++i) {
        void* data;
        intptr_t context;
        buffers.AllocateBuffer(100, &data, context);
        held.emplace_back(data, context);
    }
    void* data;
    intptr_t context;
    buffers.AllocateBuffer(100, &data, context);
    EXPECT_EQ(buffers.PoolSize(), 11u);
    for (auto& [block, owner] : held) {
        EXPECT_EQ(reinterpret_cast<ImgBuffer*>(owner)->mData, block);
        EXPECT_TRUE(reinterpret_cast<ImgBuffer*>(owner)->mInUse);
    }
    std::set<void*> distinct;
    for (auto& entry : held) distinct.insert(entry.first);
    distinct.insert(data);
    EXPECT_EQ(distinct.size(), 11u);
    for (auto& [block, owner] : held) buffers.FreeBuffer(block, owner);
    buffers.FreeBuffer(data, context);
}

TEST_F(ImgBuffersTest, FreeBufferRefusesAForeignBlock) {
    void* a;
    void* b;
    intptr_t ca, cb;
    buffers.AllocateBuffer(64, &a, ca);
    buffers.AllocateBuffer(64, &b, cb);
    try {
        buffers.FreeBuffer(b, ca);
        FAIL() << "expected a mismatch";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "ImgBuffers::FreeBuffer pointer mismatch");
    }
    EXPECT_TRUE(reinterpret_cast<ImgBuffer*>(ca)->mInUse);
    EXPECT_THROW(buffers.FreeBuffer(a, 0), std::exception);
    EXPECT_THROW(reinterpret_cast<ImgBuffer*>(ca)->Init(128), std::exception) << "held by the SDK";
    buffers.FreeBuffer(a, ca);
    buffers.FreeBuffer(b, cb);
    ImgBuffer empty;
    EXPECT_THROW(empty.Init(0), std::exception);
}

TEST_F(ImgBuffersTest, OutputImageGeometry) {
    Geometry(640, 480, "Mono8", 8);
    buffers.Init();
    EXPECT_EQ(buffers.LineSize(), 640);
    EXPECT_EQ(buffers.mImage.mSize, 307200);

    camera.mPixelSize = 24;
    Param_* format = camera.mParameters.Find("PixelFormat");
    format->SetFromText("BayerGR8");
    buffers.Init();
    EXPECT_EQ(buffers.LineSize(), 1920);
    EXPECT_EQ(buffers.mImage.mSize, 921600);

    camera.mPixelSize = 16;
    EXPECT_THROW(buffers.Init(), std::runtime_error);
}

TEST_F(ImgBuffersTest, BadGeometryAndRows) {
    Geometry(0, 480, "Mono8", 8);
    try {
        buffers.Init();
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Image buffer initialization error: width/height error");
    }
    EXPECT_TRUE(log.Contains(" ImgBuffers::Init: ERROR: incorrect image width/height"));

    Camera::SetParameter<int64_t>(camera.mParameters, "Width", 5000000000LL);
    EXPECT_THROW(buffers.Init(), std::exception) << "narrowing overflow";

    Camera::SetParameter<int64_t>(camera.mParameters, "Width", 64);
    buffers.Init();
    camera.mPort = 2;
    EXPECT_EQ(buffers.GetLine(-1), nullptr);
    EXPECT_EQ(buffers.GetLine(480), nullptr);
    EXPECT_TRUE(
        log.Contains("port2: ERR: GetLine: line index -1 out of range, ImgBuffers::GetLine"));
    EXPECT_TRUE(
        log.Contains("port2: ERR: GetLine: line index 480 out of range, ImgBuffers::GetLine"));
    EXPECT_EQ(buffers.GetLine(1), buffers.GetLine(0) + 64);
}
