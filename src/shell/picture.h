#pragma once
// The program's picture: JPEG bytes built into the program and their
// decoding into plain pixels, without a toolkit.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zbir::shell {

// Decoded pixels: 8-bit RGB, rows top to bottom, `width * 3` bytes a row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool empty() const { return rgb.empty(); }
};

// Decodes JPEG bytes. Empty, corrupt or unsupported data, and pictures larger
// than 8192 pixels a side, give an empty picture and a reason in *error;
// nothing is thrown and nothing is printed. Damage that the decoder can
// recover from (a cut-off end) gives the picture with the missing part grey.
Picture decodeJpeg(std::span<const unsigned char> data, std::string* error = nullptr);

// The JPEG built into the program (empty when it was absent at build time).
std::span<const unsigned char> embeddedPicture();

}  // namespace zbir::shell
