#include "sdk/sim/SimImageDecoder.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>

#include <QImage>
#include <QRgba64>

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

bool IsGrey(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_Grayscale8:
        case QImage::Format_Grayscale16:
            return true;
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            return image.allGray();
        default:
            return false;
    }
}

}  // namespace

bool SimImageDecoder::Decode(const uint8_t* data, size_t size, SimImage& image,
                             std::string& error) {
    image = SimImage();
    if (!data || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        error = "no picture data";
        return false;
    }
    QImage decoded;
    if (!decoded.loadFromData(data, static_cast<int>(size)) || decoded.isNull()) {
        error = "not a picture Qt can read";
        return false;
    }
    image.width = static_cast<uint32_t>(decoded.width());
    image.height = static_cast<uint32_t>(decoded.height());
    image.color = !IsGrey(decoded);
    const size_t pixels = size_t{image.width} * image.height;
    const QImage::Format format = decoded.format();
    if (format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16) {
        const QImage grey = decoded.convertToFormat(QImage::Format_Grayscale16);
        image.samples.resize(pixels);
        for (uint32_t y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(grey.constScanLine(int(y)));
            std::copy(row, row + image.width, image.samples.begin() + size_t{y} * image.width);
        }
        return true;
    }
    // Everything else through 16-bit RGB, which keeps every value (a grey palette's grey is its
    // red).
    const QImage colour = decoded.convertToFormat(QImage::Format_RGBX64);
    image.samples.resize(image.color ? pixels * 3 : pixels);
    uint16_t* out = image.samples.data();
    for (uint32_t y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const QRgba64*>(colour.constScanLine(int(y)));
        for (uint32_t x = 0; x < image.width; ++x) {
            *out++ = row[x].red();
            if (image.color) {
                *out++ = row[x].green();
                *out++ = row[x].blue();
            }
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
