#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "sdk/sim/SimImageDecoder.h"

using namespace sdk;

namespace {

std::vector<uint8_t> Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Png(const QImage& image) {
    return Encoded(image, "PNG");
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

SimImage Decoded(const std::vector<uint8_t>& bytes) {
    SimImage image;
    std::string error;
    EXPECT_TRUE(SimImageDecoder::Decode(bytes.data(), bytes.size(), image, error)) << error;
    return image;
}

TEST(SimImageDecoder, GreyPicturesKeepTheirValuesIn16Bits) {
    QImage grey8(3, 2, QImage::Format_Grayscale8);
    QImage grey16(3, 2, QImage::Format_Grayscale16);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            grey8.scanLine(y)[x] = static_cast<uint8_t>(40 * x + 100 * y + 1);
            reinterpret_cast<uint16_t*>(grey16.scanLine(y))[x] =
                static_cast<uint16_t>(20000 * x + 7 * y + 3);
        }
    }
    const SimImage a = Decoded(Png(grey8));
    EXPECT_EQ(a.width, 3u);
    EXPECT_EQ(a.height, 2u);
    EXPECT_FALSE(a.color);
    ASSERT_EQ(a.samples.size(), 6u);
    EXPECT_EQ(a.samples[0], 1 * 257);
    EXPECT_EQ(a.samples[5], (80 + 100 + 1) * 257);

    const SimImage b = Decoded(Png(grey16));
    EXPECT_FALSE(b.color);
    ASSERT_EQ(b.samples.size(), 6u);
    EXPECT_EQ(b.samples[1], 20003);
    EXPECT_EQ(b.samples[5], 40010) << "all 16 bits survive";
}

TEST(SimImageDecoder, ColourPicturesGiveRedGreenBlue) {
    QImage rgb8(2, 1, QImage::Format_RGB888);
    rgb8.setPixel(0, 0, qRgb(255, 10, 0));
    rgb8.setPixel(1, 0, qRgb(1, 2, 3));
    const SimImage a = Decoded(Png(rgb8));
    EXPECT_TRUE(a.color);
    EXPECT_EQ(a.samples, (std::vector<uint16_t>{65535, 2570, 0, 257, 514, 771}));

    QImage rgb16(1, 1, QImage::Format_RGBX64);
    rgb16.setPixelColor(0, 0, QColor(QRgba64::fromRgba64(1000, 2000, 65000, 65535)));
    const SimImage b = Decoded(Png(rgb16));
    EXPECT_TRUE(b.color);
    EXPECT_EQ(b.samples, (std::vector<uint16_t>{1000, 2000, 65000}));

    // A palette of greys is a grey picture; a coloured palette a colour one.
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(200, 200, 200)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    const SimImage c = Decoded(Png(indexed));
    EXPECT_FALSE(c.color);
    EXPECT_EQ(c.samples, (std::vector<uint16_t>{200 * 257, 0}));
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(200, 0, 0)});
    EXPECT_TRUE(Decoded(Png(indexed)).color);
}

TEST(SimImageDecoder, NetpbmAndBmpFilesAsWell) {
    // 16-bit grey keeps its 16 bits (big endian in the file); 8-bit colour is scaled up.
    const SimImage grey16 = Decoded(Bytes(std::string("P5\n2 1\n65535\n\x12\x34\xff\xfe", 18)));
    EXPECT_FALSE(grey16.color);
    EXPECT_EQ(grey16.samples, (std::vector<uint16_t>{0x1234, 0xfffe}));
    // 12-bit colour is scaled to 16 bits; a comment in the header is no value.
    const SimImage colour12 =
        Decoded(Bytes(std::string("P6 # twelve bits\n1 1 4095\n\x0f\xff\x08\x00\x00\x00", 32)));
    EXPECT_TRUE(colour12.color);
    EXPECT_EQ(colour12.samples, (std::vector<uint16_t>{65535, 32776, 0}));
    // 4-bit grey in bytes: 15 is full scale.
    const SimImage grey4 = Decoded(Bytes(std::string("P5\n2 1\n15\n\x0f\x05", 12)));
    EXPECT_FALSE(grey4.color);
    EXPECT_EQ(grey4.samples, (std::vector<uint16_t>{65535, 21845}));
    SimImage image;
    std::string error;
    const std::string cut("P5\n2 2\n65535\n\x12\x34", 15);
    EXPECT_FALSE(SimImageDecoder::Decode(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(),
                                         image, error))
        << "a file that ends before its last pixel";
    const SimImage colour8 = Decoded(Bytes("P6\n1 1\n255\n\x0a\x14\x1e"));
    EXPECT_TRUE(colour8.color);
    EXPECT_EQ(colour8.samples, (std::vector<uint16_t>{10 * 257, 20 * 257, 30 * 257}));

    // A BMP with a palette of greys is grey, with a coloured palette colour.
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(90, 90, 90)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    const SimImage bmp = Decoded(Encoded(indexed, "BMP"));
    EXPECT_EQ(bmp.width, 2u);
    EXPECT_FALSE(bmp.color);
    EXPECT_EQ(bmp.samples, (std::vector<uint16_t>{90 * 257, 0}));
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(90, 0, 90)});
    EXPECT_TRUE(Decoded(Encoded(indexed, "BMP")).color);
}

TEST(SimImageDecoder, RefusesPicturesTooLargeBeforeDecodingThem) {
    // A PNG header that claims 12000 x 12000 colour pixels (576 MB decoded), and no pixel data.
    std::vector<uint8_t> png = Png(QImage(1, 1, QImage::Format_RGB888));
    const uint8_t claimed[8] = {0, 0, 0x2e, 0xe0, 0, 0, 0x2e, 0xe0};
    std::copy(claimed, claimed + 8, png.begin() + 16);
    SimImage image;
    std::string error;
    EXPECT_FALSE(SimImageDecoder::Decode(png.data(), png.size(), image, error));
    EXPECT_NE(error.find("12000 x 12000 pixels is too large"), std::string::npos) << error;
    EXPECT_TRUE(image.samples.empty());
}

TEST(SimImageDecoder, RejectsWhatIsNoPicture) {
    SimImage image;
    std::string error;
    const std::string text = "\x89PNG\r\n\x1a\n but then nothing";
    EXPECT_FALSE(SimImageDecoder::Decode(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                         image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(SimImageDecoder::Decode(nullptr, 0, image, error));
    std::vector<uint8_t> png = Png(QImage(8, 8, QImage::Format_Grayscale8));
    png.resize(png.size() / 2);  // cut in the middle
    EXPECT_FALSE(SimImageDecoder::Decode(png.data(), png.size(), image, error));
    EXPECT_EQ(image.width, 0u);
    EXPECT_FALSE(SimImageDecoder::DecodeFile("/nonexistent/a.png", image, error));
}

TEST(SimImageDecoder, ListsPictureFilesOfADirectoryByName) {
    TempDir dir;
    for (const char* name : {"b.png", "a.PNG", "c.jpg", "notes.txt", "10.bmp", "d.pgm"}) {
        WriteFile(dir.File(name), "x");
    }
    EXPECT_EQ(SimImageDecoder::ListFiles(dir.Path()),
              (std::vector<std::string>{dir.File("10.bmp"), dir.File("a.PNG"), dir.File("b.png"),
                                        dir.File("c.jpg"), dir.File("d.pgm")}));
    EXPECT_EQ(SimImageDecoder::ListFiles(dir.File("notes.txt")),
              std::vector<std::string>{dir.File("notes.txt")})
        << "a file named directly is used whatever its name";
    EXPECT_TRUE(SimImageDecoder::ListFiles(dir.File("missing")).empty());
}

}  // namespace
