// A picture as a PNG file: 8-bit truecolour, no interlace, every row with filter
// type 0, and a zlib stream made of stored (uncompressed) deflate blocks. Nothing
// here needs a compression library, and any PNG reader opens the result.
#pragma once

#include <cstdint>
#include <vector>

#include "rgb_image.h"

namespace quil {

std::vector<std::uint8_t> EncodePng(const RgbImage& image);

}  // namespace quil
