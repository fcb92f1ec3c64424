#include "sdk/sim/SimImageDecoder.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>

#include <stb_image.h>

namespace sdk {

namespace {

bool HasPictureSuffix(const std::string& name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) {
        return false;
    }
    const std::string suffix = name.substr(dot + 1);
    for (const char* known : {"png", "bmp", "pgm", "ppm", "pnm", "jpg", "jpeg"}) {
        if (strcasecmp(suffix.c_str(), known) == 0) {
            return true;
        }
    }
    return false;
}

// Whether the file keeps its pixels as indices into a palette (which the loader expands to
// colour): a PNG of colour type 3, a BMP of at most 8 bits per pixel.
bool HasPalette(const uint8_t* data, size_t size) {
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size > 25 && std::equal(kPng, kPng + 8, data)) {
        return data[25] == 3;  // colour type in the IHDR chunk, which comes first
    }
    if (size > 29 && data[0] == 'B' && data[1] == 'M') {
        return (data[28] | data[29] << 8) <= 8;  // bits per pixel of the info header
    }
    return false;
}

// Reads the header of a binary PGM (P5) or PPM (P6) file: "P5" or "P6", then width, height and
// the largest value as decimal numbers between blanks and comments, then one blank. False when
// the bytes are no such header.
struct NetpbmHeader {
    bool colour = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxValue = 0;
    size_t dataOffset = 0;
};

bool ReadNetpbmHeader(const uint8_t* data, size_t size, NetpbmHeader& header) {
    if (size < 3 || data[0] != 'P' || (data[1] != '5' && data[1] != '6')) {
        return false;
    }
    header.colour = data[1] == '6';
    size_t at = 2;
    uint32_t* fields[] = {&header.width, &header.height, &header.maxValue};
    for (uint32_t* field : fields) {
        while (at < size && (std::isspace(data[at]) || data[at] == '#')) {
            if (data[at] == '#') {
                while (at < size && data[at] != '\n') {
                    ++at;
                }
            } else {
                ++at;
            }
        }
        uint64_t value = 0;
        const size_t start = at;
        while (at < size && std::isdigit(data[at]) && value <= UINT32_MAX) {
            value = value * 10 + uint64_t(data[at++] - '0');
        }
        if (at == start || value == 0 || value > UINT32_MAX) {
            return false;
        }
        *field = static_cast<uint32_t>(value);
    }
    if (at >= size || !std::isspace(data[at])) {
        return false;
    }
    header.dataOffset = at + 1;
    return header.maxValue <= 65535;
}

// A PGM or PPM file whose largest value is not 255: one byte per sample up to 255, else two,
// most significant first; scaled from the file's largest value to 65535. (The loader takes the
// samples as they are, and swaps the bytes of two-byte ones.)
bool DecodeScaledNetpbm(const NetpbmHeader& header, const uint8_t* data, size_t size,
                        SimImage& image, std::string& error) {
    const size_t channels = header.colour ? 3 : 1;
    const size_t bytes = header.maxValue > 255 ? 2 : 1;
    const uint64_t samples = uint64_t(header.width) * header.height * channels;
    if (samples > (size - header.dataOffset) / bytes) {
        error = "not a picture that can be read (the file ends early)";
        return false;
    }
    image.width = header.width;
    image.height = header.height;
    image.color = header.colour;
    image.samples.resize(samples);
    const uint8_t* in = data + header.dataOffset;
    for (size_t i = 0; i < samples; ++i, in += bytes) {
        const uint32_t raw = bytes == 2 ? uint32_t(in[0]) << 8 | in[1] : in[0];
        const uint32_t value = std::min(raw, header.maxValue);
        image.samples[i] =
            static_cast<uint16_t>((value * 65535u + header.maxValue / 2) / header.maxValue);
    }
    return true;
}

// Frees what the loader returned.
struct LoaderFree {
    void operator()(void* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

bool SimImageDecoder::Decode(const uint8_t* data, size_t size, SimImage& image,
                             std::string& error) {
    image = SimImage();
    if (!data || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        error = "no picture data";
        return false;
    }
    NetpbmHeader netpbm;
    if (ReadNetpbmHeader(data, size, netpbm) && netpbm.maxValue != 255) {
        return DecodeScaledNetpbm(netpbm, data, size, image, error);
    }
    const int length = static_cast<int>(size);
    const bool sixteen = stbi_is_16_bit_from_memory(data, length) != 0;
    // The size the header claims is checked before anything is decoded: a few bytes must not
    // make the camera ask for gigabytes.
    int claimedWidth = 0;
    int claimedHeight = 0;
    int claimedChannels = 0;
    if (stbi_info_from_memory(data, length, &claimedWidth, &claimedHeight, &claimedChannels) &&
        uint64_t(claimedWidth) * uint64_t(claimedHeight) * 4 * (sixteen ? 2 : 1) >
            SimImageDecoder::kMaxDecodedBytes) {
        error = "picture of " + std::to_string(claimedWidth) + " x " +
                std::to_string(claimedHeight) + " pixels is too large";
        return false;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    // Every picture as 16 bits per sample, grey (with alpha) or colour (with alpha); alpha is
    // dropped below. 8-bit samples v become v * 257, so that full scale stays full scale.
    std::unique_ptr<void, LoaderFree> pixels(
        sixteen ? static_cast<void*>(
                      stbi_load_16_from_memory(data, length, &width, &height, &channels, 0))
                : static_cast<void*>(
                      stbi_load_from_memory(data, length, &width, &height, &channels, 0)));
    if (!pixels || width <= 0 || height <= 0 || channels < 1 || channels > 4) {
        const char* reason = stbi_failure_reason();
        error = std::string("not a picture that can be read") +
                (reason != nullptr ? std::string(" (") + reason + ")" : std::string());
        return false;
    }
    const size_t count = size_t(width) * size_t(height);
    const auto sample = [&](size_t index) -> uint16_t {
        return sixteen
                   ? static_cast<const uint16_t*>(pixels.get())[index]
                   : static_cast<uint16_t>(static_cast<const uint8_t*>(pixels.get())[index] * 257);
    };
    bool colour = channels >= 3;
    if (colour && HasPalette(data, size)) {
        // A palette of greys makes a grey picture.
        colour = false;
        for (size_t i = 0; i < count && !colour; ++i) {
            const size_t at = i * size_t(channels);
            colour = sample(at) != sample(at + 1) || sample(at) != sample(at + 2);
        }
    }
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.color = colour;
    image.samples.resize(colour ? count * 3 : count);
    uint16_t* out = image.samples.data();
    for (size_t i = 0; i < count; ++i) {
        const size_t at = i * size_t(channels);
        *out++ = sample(at);
        if (colour) {
            *out++ = sample(at + 1);
            *out++ = sample(at + 2);
        }
    }
    return true;
}

bool SimImageDecoder::DecodeFile(const std::string& path, SimImage& image, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot be read";
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    return Decode(bytes.data(), bytes.size(), image, error);
}

std::vector<std::string> SimImageDecoder::ListFiles(const std::string& path) {
    std::vector<std::string> files;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        return files;
    }
    if (!S_ISDIR(info.st_mode)) {
        files.push_back(path);
        return files;
    }
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            const std::string full = path + "/" + name;
            if (HasPictureSuffix(name) && ::stat(full.c_str(), &info) == 0 &&
                S_ISREG(info.st_mode)) {
                files.push_back(full);
            }
        }
        ::closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace sdk
