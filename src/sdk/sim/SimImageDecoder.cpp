#include "sdk/sim/SimImageDecoder.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
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
    const int length = static_cast<int>(size);
    const bool sixteen = stbi_is_16_bit_from_memory(data, length) != 0;
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
