// The converter against OpenCV's conversions, which serve as an independent reference.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "sdk/image/ImageFormatConverter.h"
#include "sdk/image/PixelType.h"

using sdk::ImageFormatConverter;

namespace {

constexpr uint32_t Pt(sdk::EPixelType t) {
    return static_cast<uint32_t>(t);
}

// OpenCV names its Bayer codes after the second row (pixels (1,1) and (2,1) of the mosaic),
// the camera formats after the first: a camera's R G / G B mosaic is OpenCV's "BG".
struct BayerPair {
    const char* name;
    uint32_t type;
    int cvToBgr;
    int cvToRgb;
};

const BayerPair kPairs[] = {
    {"RG", Pt(sdk::PixelType_BayerRG8), cv::COLOR_BayerBG2BGR, cv::COLOR_BayerBG2RGB},
    {"GR", Pt(sdk::PixelType_BayerGR8), cv::COLOR_BayerGB2BGR, cv::COLOR_BayerGB2RGB},
    {"GB", Pt(sdk::PixelType_BayerGB8), cv::COLOR_BayerGR2BGR, cv::COLOR_BayerGR2RGB},
    {"BG", Pt(sdk::PixelType_BayerBG8), cv::COLOR_BayerRG2BGR, cv::COLOR_BayerRG2RGB},
};

cv::Mat RandomImage(int width, int height, int type, unsigned seed) {
    cv::Mat m(height, width, type);
    cv::RNG rng(seed);
    rng.fill(m, cv::RNG::UNIFORM, 0, 256);
    return m;
}

cv::Mat Convert(const cv::Mat& src, uint32_t type, uint32_t output) {
    ImageFormatConverter c;
    c.Initialize(type);
    c.SetOutputPixelFormat(output);
    const int channels = output == Pt(sdk::PixelType_Mono8) ? 1 : 3;
    cv::Mat out(src.rows, src.cols, CV_8UC(channels));
    c.Convert(out.data, out.total() * out.elemSize(), src.data, src.total() * src.elemSize(), type,
              static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), 0);
    return out;
}

// Number of differing bytes inside the image less a border of `border` pixels.
int InteriorDifferences(const cv::Mat& a, const cv::Mat& b, int border) {
    const cv::Rect inner(border, border, a.cols - 2 * border, a.rows - 2 * border);
    cv::Mat diff;
    cv::absdiff(a(inner), b(inner), diff);
    return cv::countNonZero(diff.reshape(1));
}

// Bytes of the converter's demosaic that differ from OpenCV's inside the one-pixel border, where
// both read the same neighbours.
int DemosaicDifferences(const cv::Mat& mosaic, uint32_t type, uint32_t output,
                        const cv::Mat& expected) {
    return InteriorDifferences(Convert(mosaic, type, output), expected, 1);
}

}  // namespace

TEST(ConverterVsOpenCv, BayerBilinearMatchesAwayFromTheBorder) {
    // Sizes cover the vector block widths and odd geometries.
    const cv::Size sizes[] = {{2448, 2048}, {640, 480}, {101, 37}, {67, 5}, {35, 4}};
    unsigned seed = 1;
    for (const BayerPair& p : kPairs) {
        for (const cv::Size& size : sizes) {
            SCOPED_TRACE(::testing::Message() << p.name << " " << size.width << "x" << size.height);
            const cv::Mat mosaic = RandomImage(size.width, size.height, CV_8UC1, seed++);
            cv::Mat bgr, rgb;
            cv::cvtColor(mosaic, bgr, p.cvToBgr);
            cv::cvtColor(mosaic, rgb, p.cvToRgb);
            EXPECT_EQ(DemosaicDifferences(mosaic, p.type, Pt(sdk::PixelType_BGR8packed), bgr), 0);
            EXPECT_EQ(DemosaicDifferences(mosaic, p.type, Pt(sdk::PixelType_RGB8packed), rgb), 0);
        }
    }
}

TEST(ConverterVsOpenCv, OpenCvBayerCodesAreNamedAfterTheSecondRow) {
    // The code named after the camera's own first row is a different mosaic: almost nothing
    // matches. This is what the pairing above guards against.
    const cv::Mat mosaic = RandomImage(64, 48, CV_8UC1, 99);
    cv::Mat sameName;
    cv::cvtColor(mosaic, sameName, cv::COLOR_BayerRG2BGR);
    const cv::Mat ours = Convert(mosaic, Pt(sdk::PixelType_BayerRG8), Pt(sdk::PixelType_BGR8));
    EXPECT_GT(InteriorDifferences(ours, sameName, 1), 62 * 46);
    cv::Mat secondRow;
    cv::cvtColor(mosaic, secondRow, cv::COLOR_BayerBG2BGR);
    EXPECT_EQ(InteriorDifferences(ours, secondRow, 1), 0);
}

TEST(ConverterVsOpenCv, WideBayerSamplesMatchOpenCvOnTheReducedImage) {
    // 12-bit samples: the converter keeps the top 8 bits, then demosaics.
    const cv::Mat mosaic8 = RandomImage(128, 64, CV_8UC1, 5);
    cv::Mat mosaic16;
    mosaic8.convertTo(mosaic16, CV_16UC1, 16.0);
    cv::Mat low = RandomImage(128, 64, CV_16UC1, 6);
    cv::bitwise_and(low, cv::Scalar(15), low);
    mosaic16 += low;  // random low nibbles must not matter
    cv::Mat expected;
    cv::cvtColor(mosaic8, expected, cv::COLOR_BayerGB2BGR);
    EXPECT_EQ(DemosaicDifferences(mosaic16, Pt(sdk::PixelType_BayerGR12), Pt(sdk::PixelType_BGR8),
                                  expected),
              0);
}

TEST(ConverterVsOpenCv, LumaWithinOneOfOpenCvGrey) {
    const cv::Mat rgb = RandomImage(320, 200, CV_8UC3, 7);
    cv::Mat grey;
    cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
    const cv::Mat ours = Convert(rgb, Pt(sdk::PixelType_RGB8), Pt(sdk::PixelType_Mono8));
    cv::Mat diff;
    cv::absdiff(ours, grey, diff);
    double worst = 0;
    cv::minMaxLoc(diff, nullptr, &worst);
    EXPECT_LE(worst, 1.0);
}
