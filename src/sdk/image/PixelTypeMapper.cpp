#include "sdk/image/PixelTypeMapper.h"

#include <cstring>

namespace sdk {

namespace {

struct NamedType {
    const char* name;
    EPixelType type;
};

constexpr NamedType kTypes[] = {
#define OSTRAVELK_PIXEL_TYPE_NAME(name, value) {#name, PixelType_##name},
    OSTRAVELK_PIXEL_TYPES(OSTRAVELK_PIXEL_TYPE_NAME)
#undef OSTRAVELK_PIXEL_TYPE_NAME
};

constexpr NamedType kOlderNames[] = {
    {"RGB8Packed", PixelType_RGB8},
    {"BGR8Packed", PixelType_BGR8},
    {"RGBA8Packed", PixelType_RGBa8},
    {"BGRA8Packed", PixelType_BGRa8},
    {"YUV422Packed", PixelType_YUV422_8_UYVY},
    {"YUV422_YUYV_Packed", PixelType_YUV422_8},
};

}  // namespace

EPixelType PixelTypeMapper::GetPylonPixelTypeByName(const gcstring& name) {
    return GetPylonPixelTypeByName(name.c_str());
}

EPixelType PixelTypeMapper::GetPylonPixelTypeByName(const char* name) {
    if (!name) {
        return PixelType_Undefined;
    }
    for (const NamedType& t : kTypes) {
        if (std::strcmp(t.name, name) == 0) {
            return t.type;
        }
    }
    for (const NamedType& t : kOlderNames) {
        if (std::strcmp(t.name, name) == 0) {
            return t.type;
        }
    }
    return PixelType_Undefined;
}

const char* PixelTypeMapper::GetNameByPixelType(EPixelType type) {
    for (const NamedType& t : kTypes) {
        if (t.type == type) {
            return t.name;
        }
    }
    return "Undefined";
}

bool PixelTypeMapper::IsMono(EPixelType type) {
    return type != PixelType_Undefined && ((type >> 24) & 0xFF) == 0x01 && !IsBayer(type);
}

bool PixelTypeMapper::IsBayer(EPixelType type) {
    return std::strncmp(GetNameByPixelType(type), "Bayer", 5) == 0;
}

bool PixelTypeMapper::IsColor(EPixelType type) {
    return type != PixelType_Undefined && ((type >> 24) & 0xFF) == 0x02;
}

uint32_t PixelTypeMapper::BitPerPixel(EPixelType type) {
    return type == PixelType_Undefined ? 0 : static_cast<uint32_t>((type >> 16) & 0xFF);
}

uint64_t PixelTypeMapper::ComputeBufferSize(EPixelType type, uint32_t width, uint32_t height,
                                            uint32_t paddingX) {
    const uint64_t rowBits = static_cast<uint64_t>(width) * BitPerPixel(type);
    const uint64_t rowBytes = (rowBits + 7) / 8 + paddingX;
    return rowBytes * height;
}

}  // namespace sdk
