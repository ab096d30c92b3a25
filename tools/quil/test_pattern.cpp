#include "test_pattern.h"

#include <cstdio>
#include <cstring>

#include "bitmap_font.h"

namespace quil {
namespace {

constexpr Rgb kBars[] = {
    {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
    {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0},
};
constexpr int kBarCount = sizeof kBars / sizeof kBars[0];
constexpr int kBarsHeight = 72;
constexpr int kMaxScale = 3;
constexpr Rgb kCaptionBackground{16, 16, 48};
constexpr Rgb kCaptionInk{255, 255, 255};

void DrawGlyph(RgbImage& image, const std::uint8_t* rows, int left, int top, int scale) {
    for (int row = 0; row < kGlyphHeight; ++row) {
        for (int column = 0; column < kGlyphWidth; ++column) {
            if (rows[row] & (0x10 >> column)) {
                image.FillRect(left + column * scale, top + row * scale, scale, scale, kCaptionInk);
            }
        }
    }
}

}  // namespace

void DrawTestPattern(std::int32_t channel, RgbImage& image) {
    const int barWidth = RgbImage::kWidth / kBarCount;
    for (int i = 0; i < kBarCount; ++i) image.FillRect(i * barWidth, 0, barWidth, kBarsHeight, kBars[i]);
    image.FillRect(0, kBarsHeight, RgbImage::kWidth, RgbImage::kHeight - kBarsHeight, kCaptionBackground);

    char caption[16];
    std::snprintf(caption, sizeof caption, "CH%ld", static_cast<long>(channel));
    const int length = static_cast<int>(std::strlen(caption));
    // Each character takes its glyph plus one column of space; the scale shrinks
    // until the longest caption ("CH-2147483648") fits the width.
    const int cell = kGlyphWidth + 1;
    int scale = RgbImage::kWidth / (length * cell);
    if (scale > kMaxScale) scale = kMaxScale;
    if (scale < 1) scale = 1;
    const int textWidth = length * cell * scale - scale;
    int left = (RgbImage::kWidth - textWidth) / 2;
    const int top = kBarsHeight + (RgbImage::kHeight - kBarsHeight - kGlyphHeight * scale) / 2;
    for (int i = 0; i < length; ++i) {
        if (const std::uint8_t* rows = GlyphRows(caption[i])) DrawGlyph(image, rows, left, top, scale);
        left += cell * scale;
    }
}

}  // namespace quil
