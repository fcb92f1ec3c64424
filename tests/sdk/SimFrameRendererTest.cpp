#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "sdk/genapi/IEnumEntry.h"
#include "sdk/image/ImageFormatConverter.h"
#include "sdk/image/PixelTypeMapper.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/sim/SimFeatureTree.h"
#include "sdk/sim/SimFrameRenderer.h"

using namespace sdk;

namespace {

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kRgb8 = 0x02180014;

// Every pixel format of the simulated cameras' PixelFormat entries (offered by a sensor or not),
// by name.
std::map<std::string, uint32_t> OfferedFormats() {
    std::map<std::string, uint32_t> formats;
    for (bool gige : {true, false}) {
        for (bool color : {true, false}) {
            MemoryNodeMap map;
            SimFeatureTree::BuildDeviceMap(map, SimFeatureTree::MakeModel(gige, "M", "1", color));
            for (INode* node : map.Get<EnumerationNode>("PixelFormat").GetEntries()) {
                const int64_t value = dynamic_cast<IEnumEntry*>(node)->GetValue();
                formats[PixelTypeMapper::GetNameByPixelType(static_cast<EPixelType>(value))] =
                    static_cast<uint32_t>(value);
            }
        }
    }
    return formats;
}

SimFrameRenderer::Layout LayoutOf(uint32_t type, uint32_t width, uint32_t height) {
    SimFrameRenderer::Layout l;
    l.pixelType = type;
    l.width = width;
    l.height = height;
    l.sensorWidth = width;
    l.sensorHeight = height;
    l.payloadSize = static_cast<size_t>(
        PixelTypeMapper::ComputeBufferSize(static_cast<EPixelType>(type), width, height));
    return l;
}

// The frame of that format converted to 8-bit mono or RGB by the driver's converter.
std::vector<uint8_t> Converted(SimFrameRenderer& renderer, const SimFrameRenderer::Layout& l,
                               uint32_t output, size_t frame = 0) {
    const std::vector<uint8_t>& raw = renderer.Frame(l, frame);
    ImageFormatConverter converter;
    converter.SetOutputPixelFormat(output);
    std::vector<uint8_t> out(converter.GetBufferSizeForConversion(l.pixelType, l.width, l.height));
    converter.Convert(out.data(), out.size(), raw.data(), raw.size(), l.pixelType, l.width,
                      l.height);
    return out;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

constexpr uint32_t kW = 64;
constexpr uint32_t kH = 48;

TEST(SimFrameRenderer, TestPatternShowsColourBarsAndAFullScaleRamp) {
    SimFrameRenderer renderer;
    const std::vector<uint8_t> rgb = Converted(renderer, LayoutOf(kRgb8, kW, kH), kRgb8);
    const uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (uint32_t bar = 0; bar < 8; ++bar) {
        const uint8_t* p = &rgb[(10 * kW + bar * kW / 8 + 4) * 3];
        EXPECT_EQ(std::vector<uint8_t>(p, p + 3), std::vector<uint8_t>(bars[bar], bars[bar] + 3))
            << "bar " << bar;
    }
    const uint8_t* ramp = &rgb[(kH - 1) * kW * 3];
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[(kW - 1) * 3], 255);
    for (uint32_t x = 1; x < kW; ++x) EXPECT_GE(ramp[x * 3], ramp[(x - 1) * 3]);

    // Through the colour filter and the demosaicing, the bars keep their colour.
    const std::vector<uint8_t> bayer =
        Converted(renderer, LayoutOf(PixelType_BayerGR8, kW, kH), kRgb8);
    for (uint32_t bar = 0; bar < 8; ++bar) {
        const size_t at = (10 * kW + bar * kW / 8 + 4) * 3;
        EXPECT_EQ(std::vector<uint8_t>(&bayer[at], &bayer[at] + 3),
                  std::vector<uint8_t>(bars[bar], bars[bar] + 3))
            << "bar " << bar;
    }
}

TEST(SimFrameRenderer, EveryOfferedFormatHoldsThePictureInItsBitDepthAndPacking) {
    SimFrameRenderer renderer;
    const std::vector<uint8_t> mono8 = Converted(renderer, LayoutOf(kMono8, kW, kH), kMono8);
    const std::vector<uint8_t> rgb8 = Converted(renderer, LayoutOf(kRgb8, kW, kH), kRgb8);
    std::map<std::string, std::vector<uint8_t>> bayer8;
    for (const char* cfa : {"GR", "RG", "GB", "BG"}) {
        const uint32_t type = static_cast<uint32_t>(
            PixelTypeMapper::GetPylonPixelTypeByName((std::string("Bayer") + cfa + "8").c_str()));
        bayer8[cfa] = Converted(renderer, LayoutOf(type, kW, kH), kRgb8);
    }
    const std::map<std::string, uint32_t> formats = OfferedFormats();
    ASSERT_GE(formats.size(), 30u);
    for (const auto& [name, type] : formats) {
        SCOPED_TRACE(name);
        const SimFrameRenderer::Layout l = LayoutOf(type, kW, kH);
        if (StartsWith(name, "Mono")) {
            EXPECT_EQ(Converted(renderer, l, kMono8), mono8);
        } else if (StartsWith(name, "Bayer")) {
            EXPECT_EQ(Converted(renderer, l, kRgb8), bayer8[name.substr(5, 2)]);
        } else if (StartsWith(name, "YUV") || StartsWith(name, "YCbCr")) {
            const std::vector<uint8_t> yuv = Converted(renderer, l, kRgb8);
            int worst = 0;
            for (size_t i = 0; i < yuv.size(); ++i) {
                // Chroma is shared by pixel pairs: compare within the bars and the ramp.
                const size_t x = (i / 3) % kW;
                if (x % (kW / 8) == kW / 8 - 1 || x % (kW / 8) == 0) continue;
                worst = std::max(worst, std::abs(int(yuv[i]) - int(rgb8[i])));
            }
            EXPECT_LE(worst, 2);
        } else {
            EXPECT_EQ(Converted(renderer, l, kRgb8), rgb8);
        }
        // Samples wider than 8 bits reach full scale and never pass it.
        const unsigned bits = PixelTypeMapper::BitPerPixel(static_cast<EPixelType>(type));
        if (bits == 16) {
            const std::vector<uint8_t>& raw = renderer.Frame(l, 0);
            const unsigned depth = name.find("10") != std::string::npos   ? 10
                                   : name.find("12") != std::string::npos ? 12
                                                                          : 16;
            unsigned highest = 0;
            for (size_t i = 0; i + 1 < raw.size(); i += 2) {
                highest = std::max(highest, unsigned(raw[i] | (raw[i + 1] << 8)));
            }
            if (!StartsWith(name, "YUV") && !StartsWith(name, "YCbCr")) {
                EXPECT_EQ(highest, (1u << depth) - 1);
            }
        }
    }
}

TEST(SimFrameRenderer, TestPatternAreaOfInterestIsTheSensorsPixelsMirrored) {
    SimFrameRenderer renderer;
    const std::vector<uint8_t> full = renderer.Frame(LayoutOf(kRgb8, kW, kH), 0);
    SimFrameRenderer::Layout roi = LayoutOf(PixelType_BayerGR8, 32, 30);
    roi.sensorWidth = kW;
    roi.sensorHeight = kH;
    roi.offsetX = 8;
    roi.offsetY = 6;
    for (bool reverse : {false, true}) {
        roi.reverseX = roi.reverseY = reverse;
        const std::vector<uint8_t> frame = renderer.Frame(roi, 0);
        for (uint32_t y = 0; y < roi.height; ++y) {
            for (uint32_t x = 0; x < roi.width; ++x) {
                const uint32_t sx = 8 + (reverse ? 31 - x : x);
                const uint32_t sy = 6 + (reverse ? 29 - y : y);
                const unsigned channel = (y % 2 == 0) ? (x % 2 == 0 ? 1 : 0) : (x % 2 == 0 ? 2 : 1);
                ASSERT_EQ(frame[y * 32 + x], full[(sy * kW + sx) * 3 + channel])
                    << x << "," << y << (reverse ? " reversed" : "");
            }
        }
    }
}

// A 16-bit grey picture whose value tells where it was: 1000 * x + y + 1.
SimImage Positions(uint32_t width, uint32_t height) {
    SimImage image;
    image.width = width;
    image.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            image.samples.push_back(static_cast<uint16_t>(1000 * x + y + 1));
        }
    }
    return image;
}

uint16_t Mono16At(const std::vector<uint8_t>& raw, uint32_t width, uint32_t x, uint32_t y) {
    const size_t at = (size_t{y} * width + x) * 2;
    return static_cast<uint16_t>(raw[at] | (raw[at + 1] << 8));
}

TEST(SimFrameRenderer, AreaOfInterestCropsThePictureOneToOneAndReverseMirrorsIt) {
    SimFrameRenderer renderer({Positions(10, 6)});
    SimFrameRenderer::Layout l = LayoutOf(PixelType_Mono16, 8, 6);
    l.sensorWidth = 32;
    l.sensorHeight = 32;
    l.offsetX = 4;
    l.offsetY = 2;
    const std::vector<uint8_t> plain = renderer.Frame(l, 0);
    EXPECT_EQ(Mono16At(plain, 8, 0, 0), 1000 * 4 + 2 + 1);
    EXPECT_EQ(Mono16At(plain, 8, 5, 3), 1000 * 9 + 5 + 1);
    EXPECT_EQ(Mono16At(plain, 8, 6, 0), 0) << "right of the picture: black";
    EXPECT_EQ(Mono16At(plain, 8, 0, 4), 0) << "below the picture: black";

    l.reverseX = true;
    l.reverseY = true;
    const std::vector<uint8_t> mirrored = renderer.Frame(l, 0);
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            EXPECT_EQ(Mono16At(mirrored, 8, x, y), Mono16At(plain, 8, 7 - x, 5 - y));
        }
    }
}

TEST(SimFrameRenderer, BayerSitesFollowTheFormatsFilterInTheFrame) {
    SimImage red;  // red 0x1100, green 0x2200, blue 0x3300 everywhere
    red.width = 4;
    red.height = 4;
    red.color = true;
    for (int i = 0; i < 16; ++i) red.samples.insert(red.samples.end(), {0x1100, 0x2200, 0x3300});
    SimFrameRenderer renderer({red});
    for (bool reverse : {false, true}) {
        SimFrameRenderer::Layout gr = LayoutOf(PixelType_BayerGR8, 4, 4);
        gr.reverseX = gr.reverseY = reverse;
        EXPECT_EQ(renderer.Frame(gr, 0),
                  (std::vector<uint8_t>{0x22, 0x11, 0x22, 0x11, 0x33, 0x22, 0x33, 0x22, 0x22, 0x11,
                                        0x22, 0x11, 0x33, 0x22, 0x33, 0x22}));
        SimFrameRenderer::Layout bg = LayoutOf(PixelType_BayerBG8, 4, 4);
        bg.reverseX = reverse;
        EXPECT_EQ(renderer.Frame(bg, 0)[0], 0x33);
        EXPECT_EQ(renderer.Frame(bg, 0)[5], 0x11);
    }
}

TEST(SimFrameRendererFrames, PlaysPicturesInTurnAndKeepsEachRenderedFrame) {
    std::vector<SimImage> pictures;
    for (uint16_t value : {0x1000, 0x2000, 0x3000}) {
        SimImage p;
        p.width = p.height = 4;
        p.samples.assign(16, value);
        pictures.push_back(p);
    }
    SimFrameRenderer renderer(pictures);
    EXPECT_TRUE(renderer.HasImages());
    EXPECT_EQ(renderer.FrameCount(), 3u);
    const SimFrameRenderer::Layout l = LayoutOf(kMono8, 4, 4);
    std::vector<const uint8_t*> storage;
    for (uint64_t frame = 0; frame < 7; ++frame) {
        const std::vector<uint8_t>& f = renderer.Frame(l, frame);
        EXPECT_EQ(f[0], 0x10 * (frame % 3 + 1)) << frame;
        storage.push_back(f.data());
    }
    EXPECT_EQ(storage[0], storage[3]) << "rendered once, then reused";
    EXPECT_EQ(storage[1], storage[4]);
    SimFrameRenderer::Layout other = l;
    other.pixelType = PixelType_Mono12;
    other.payloadSize = 32;
    EXPECT_EQ(renderer.Frame(other, 1)[0], 0x00);  // 0x2000 >> 4 = 0x200, low byte
    EXPECT_EQ(renderer.Frame(other, 1)[1], 0x02);
    EXPECT_EQ(renderer.Frame(l, 2)[0], 0x30) << "back to the first layout";
}

}  // namespace
