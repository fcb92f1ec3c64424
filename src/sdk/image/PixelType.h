#pragma once

#include <cstdint>

// Pixel types, numbered as in the GenICam Pixel Format Naming Convention (PFNC): bits 24-31 give
// mono (0x01) or colour (0x02), bits 16-23 the bits per pixel, bits 0-15 the PFNC id.
// The table below is the one place that lists them; PixelTypeMapper derives its names from it.

#define OSTRAVELK_PIXEL_TYPES(X)   \
    X(Mono1p, 0x01010037)          \
    X(Mono2p, 0x01020038)          \
    X(Mono4p, 0x01040039)          \
    X(Mono8, 0x01080001)           \
    X(Mono8Signed, 0x01080002)     \
    X(Mono10, 0x01100003)          \
    X(Mono10Packed, 0x010C0004)    \
    X(Mono10p, 0x010A0046)         \
    X(Mono12, 0x01100005)          \
    X(Mono12Packed, 0x010C0006)    \
    X(Mono12p, 0x010C0047)         \
    X(Mono14, 0x01100025)          \
    X(Mono16, 0x01100007)          \
    X(BayerGR8, 0x01080008)        \
    X(BayerRG8, 0x01080009)        \
    X(BayerGB8, 0x0108000A)        \
    X(BayerBG8, 0x0108000B)        \
    X(BayerGR10, 0x0110000C)       \
    X(BayerRG10, 0x0110000D)       \
    X(BayerGB10, 0x0110000E)       \
    X(BayerBG10, 0x0110000F)       \
    X(BayerGR12, 0x01100010)       \
    X(BayerRG12, 0x01100011)       \
    X(BayerGB12, 0x01100012)       \
    X(BayerBG12, 0x01100013)       \
    X(BayerGR10Packed, 0x010C0026) \
    X(BayerRG10Packed, 0x010C0027) \
    X(BayerGB10Packed, 0x010C0028) \
    X(BayerBG10Packed, 0x010C0029) \
    X(BayerGR12Packed, 0x010C002A) \
    X(BayerRG12Packed, 0x010C002B) \
    X(BayerGB12Packed, 0x010C002C) \
    X(BayerBG12Packed, 0x010C002D) \
    X(BayerGR16, 0x0110002E)       \
    X(BayerRG16, 0x0110002F)       \
    X(BayerGB16, 0x01100030)       \
    X(BayerBG16, 0x01100031)       \
    X(BayerBG10p, 0x010A0052)      \
    X(BayerBG12p, 0x010C0053)      \
    X(BayerGB10p, 0x010A0054)      \
    X(BayerGB12p, 0x010C0055)      \
    X(BayerGR10p, 0x010A0056)      \
    X(BayerGR12p, 0x010C0057)      \
    X(BayerRG10p, 0x010A0058)      \
    X(BayerRG12p, 0x010C0059)      \
    X(RGB8, 0x02180014)            \
    X(BGR8, 0x02180015)            \
    X(RGBa8, 0x02200016)           \
    X(BGRa8, 0x02200017)           \
    X(RGB10, 0x02300018)           \
    X(BGR10, 0x02300019)           \
    X(RGB12, 0x0230001A)           \
    X(BGR12, 0x0230001B)           \
    X(RGB16, 0x02300033)           \
    X(RGB10V1Packed, 0x0220001C)   \
    X(RGB10p32, 0x0220001D)        \
    X(RGB12V1Packed, 0x02240034)   \
    X(RGB8_Planar, 0x02180021)     \
    X(RGB10_Planar, 0x02300022)    \
    X(RGB12_Planar, 0x02300023)    \
    X(RGB16_Planar, 0x02300024)    \
    X(YUV411_8_UYYVYY, 0x020C001E) \
    X(YUV422_8_UYVY, 0x0210001F)   \
    X(YUV422_8, 0x02100032)        \
    X(YUV8_UYV, 0x02180020)        \
    X(YCbCr422_8, 0x0210003B)      \
    X(YCbCr422_8_CbYCrY, 0x02100043)

namespace sdk {

enum EPixelType : int64_t {
    PixelType_Undefined = -1,
#define OSTRAVELK_PIXEL_TYPE_ENUM(name, value) PixelType_##name = value,
    OSTRAVELK_PIXEL_TYPES(OSTRAVELK_PIXEL_TYPE_ENUM)
#undef OSTRAVELK_PIXEL_TYPE_ENUM
    // Older names of the same numbers.
    PixelType_RGB8packed = PixelType_RGB8,
    PixelType_BGR8packed = PixelType_BGR8,
    PixelType_RGBA8packed = PixelType_RGBa8,
    PixelType_BGRA8packed = PixelType_BGRa8,
    PixelType_YUV422packed = PixelType_YUV422_8_UYVY,
    PixelType_YUV422_YUYV_Packed = PixelType_YUV422_8,
};

}  // namespace sdk
