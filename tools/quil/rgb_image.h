// The fixed-size picture the simulator produces: 160 x 120 pixels, 8-bit RGB, rows
// top to bottom. Writes outside the picture are ignored, so drawing code need not
// clip.
#pragma once

#include <cstdint>

namespace quil {

struct Rgb {
    std::uint8_t r, g, b;
};

class RgbImage {
public:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    RgbImage();

    void Set(int x, int y, Rgb colour);
    Rgb Get(int x, int y) const;
    void FillRect(int x, int y, int width, int height, Rgb colour);

private:
    std::uint8_t pixels_[kHeight][kWidth][3];
};

}  // namespace quil
