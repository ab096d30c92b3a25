// The picture a capture produces: colour bars over a caption "CH<channel>", so that
// a person looking at the file sees which channel it came from.
#pragma once

#include <cstdint>

#include "rgb_image.h"

namespace quil {

void DrawTestPattern(std::int32_t channel, RgbImage& image);

}  // namespace quil
