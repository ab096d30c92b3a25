// A picture as a Windows bitmap file: BITMAPFILEHEADER, BITMAPINFOHEADER, 24-bit
// BGR rows bottom to top, no compression.
#pragma once

#include <cstdint>
#include <vector>

#include "rgb_image.h"

namespace quil {

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image);

}  // namespace quil
