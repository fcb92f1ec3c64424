#pragma once

#include <cstdint>

#include "sdk/genapi/GcString.h"
#include "sdk/image/PixelType.h"

namespace sdk {

// Pixel type numbers and their names. The names are those of the PFNC table (PixelType.h) plus
// the older feature names some devices still show ("RGB8Packed", "BGR8Packed", "RGBA8Packed",
// "BGRA8Packed", "YUV422Packed", "YUV422_YUYV_Packed").
//
// Threading: stateless; any thread.
class PixelTypeMapper {
  public:
    // The type of that exact name, or PixelType_Undefined.
    static EPixelType GetPylonPixelTypeByName(const gcstring& name);
    static EPixelType GetPylonPixelTypeByName(const char* name);
    // The PFNC name of a type, or "Undefined".
    static const char* GetNameByPixelType(EPixelType type);

    static bool IsMono(EPixelType type);
    static bool IsBayer(EPixelType type);
    // Colour: not mono, not Bayer, defined.
    static bool IsColor(EPixelType type);
    // Bits per pixel as encoded in the number (0 for an undefined type).
    static uint32_t BitPerPixel(EPixelType type);
    // Bytes an image of that type and size needs, rows padded by paddingX bytes.
    static uint64_t ComputeBufferSize(EPixelType type, uint32_t width, uint32_t height,
                                      uint32_t paddingX = 0);
};

}  // namespace sdk
