#include "rgb_image.h"

#include <cstring>

namespace quil {

RgbImage::RgbImage() { std::memset(pixels_, 0, sizeof pixels_); }

void RgbImage::Set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    pixels_[y][x][0] = colour.r;
    pixels_[y][x][1] = colour.g;
    pixels_[y][x][2] = colour.b;
}

Rgb RgbImage::Get(int x, int y) const {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return Rgb{0, 0, 0};
    return Rgb{pixels_[y][x][0], pixels_[y][x][1], pixels_[y][x][2]};
}

void RgbImage::FillRect(int x, int y, int width, int height, Rgb colour) {
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) Set(column, row, colour);
    }
}

}  // namespace quil
