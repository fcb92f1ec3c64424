#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/sim/SimImage.h"

namespace sdk {

// Decodes the picture files of the simulator with the stb image loader: PNG in 1 to 16 bits,
// grey, grey with alpha, palette and colour (alpha is dropped), BMP, PGM/PPM and baseline and
// progressive JPEG. Binary PGM/PPM whose largest value is not 255 are read here, scaled from
// that value to 16 bits. Grey files (grey colour types, and palettes whose pixels are all
// grey) give grey pictures, all others colour ones; 16-bit files keep their 16 bits.
//
// Threading: stateless; any thread (the loader's settings are never changed).
class SimImageDecoder {
  public:
    // Largest picture decoded, in bytes of its decoded samples (four 8- or 16-bit channels a
    // pixel); larger ones are refused as Qt's readers refused them.
    static constexpr uint64_t kMaxDecodedBytes = uint64_t{256} << 20;

    // Decodes a picture held in memory; false, with error set, when the bytes are no picture.
    static bool Decode(const uint8_t* data, size_t size, SimImage& image, std::string& error);
    static bool DecodeFile(const std::string& path, SimImage& image, std::string& error);
    // The picture files a path names: the path itself when it is a file, else the files of the
    // directory with a picture suffix (.png, .bmp, .pgm, .ppm, .pnm, .jpg, .jpeg, any case), in
    // file-name order. Empty when the path does not exist.
    static std::vector<std::string> ListFiles(const std::string& path);
};

}  // namespace sdk
