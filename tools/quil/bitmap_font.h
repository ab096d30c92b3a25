// A 5 x 7 pixel font with just the characters a channel caption needs: the digits,
// '-', 'C' and 'H'.
#pragma once

#include <cstdint>

namespace quil {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// The glyph's rows, top first; bit 4 is the leftmost column. Null for a character
// the font does not have.
const std::uint8_t* GlyphRows(char c);

}  // namespace quil
