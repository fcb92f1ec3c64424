#include <gtest/gtest.h>

#include "sdk/image/PixelTypeMapper.h"

using namespace sdk;

namespace {

TEST(PixelTypeMapper, NamesMapToPfncNumbers) {
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("Mono8"), 0x01080001);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("Mono8Signed"), 0x01080002);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("Mono10Packed"), 0x010C0004);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("Mono12p"), 0x010C0047);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("BayerGR8"), 0x01080008);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("BayerBG12p"), 0x010C0053);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("RGB8"), 0x02180014);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName(gcstring("BGR8")), 0x02180015);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("YCbCr422_8"), 0x0210003B);
}

TEST(PixelTypeMapper, OlderFeatureNamesAndUnknownNames) {
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("RGB8Packed"), PixelType_RGB8packed);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("BGR8Packed"), PixelType_BGR8);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("YUV422Packed"), 0x0210001F);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName("mono8"), PixelType_Undefined);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName(""), PixelType_Undefined);
    EXPECT_EQ(PixelTypeMapper::GetPylonPixelTypeByName(static_cast<const char*>(nullptr)), -1);
    EXPECT_STREQ(PixelTypeMapper::GetNameByPixelType(PixelType_Undefined), "Undefined");
    EXPECT_STREQ(PixelTypeMapper::GetNameByPixelType(PixelType_Mono16), "Mono16");
}

TEST(PixelTypeMapper, KindsAndSizes) {
    EXPECT_TRUE(PixelTypeMapper::IsMono(PixelType_Mono12Packed));
    EXPECT_FALSE(PixelTypeMapper::IsMono(PixelType_BayerGR8));
    EXPECT_TRUE(PixelTypeMapper::IsBayer(PixelType_BayerGR8));
    EXPECT_TRUE(PixelTypeMapper::IsColor(PixelType_YCbCr422_8));
    EXPECT_FALSE(PixelTypeMapper::IsColor(PixelType_Undefined));
    EXPECT_EQ(PixelTypeMapper::BitPerPixel(PixelType_Mono12Packed), 12u);
    EXPECT_EQ(PixelTypeMapper::ComputeBufferSize(PixelType_Mono8, 640, 480), 307200u);
    EXPECT_EQ(PixelTypeMapper::ComputeBufferSize(PixelType_RGB8, 640, 480), 921600u);
    EXPECT_EQ(PixelTypeMapper::ComputeBufferSize(PixelType_Mono12Packed, 3, 2), 10u);  // 4.5 -> 5
    EXPECT_EQ(PixelTypeMapper::ComputeBufferSize(PixelType_Mono8, 10, 2, 2), 24u);
}

}  // namespace
