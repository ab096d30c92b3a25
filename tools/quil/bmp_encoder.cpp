#include "bmp_encoder.h"

#include "byte_writer.h"

namespace quil {

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image) {
    constexpr std::uint32_t kHeadersSize = 14 + 40;
    // Rows are padded to a multiple of four bytes.
    constexpr std::uint32_t kRowSize = (RgbImage::kWidth * 3 + 3) / 4 * 4;
    constexpr std::uint32_t kPixelBytes = kRowSize * RgbImage::kHeight;

    ByteWriter out;
    out.Bytes("BM", 2);
    out.U32le(kHeadersSize + kPixelBytes);
    out.U32le(0);  // two reserved words
    out.U32le(kHeadersSize);

    out.U32le(40);
    out.U32le(RgbImage::kWidth);
    out.U32le(RgbImage::kHeight);  // positive: bottom-up rows
    out.U16le(1);                  // planes
    out.U16le(24);                 // bits per pixel
    out.U32le(0);                  // BI_RGB
    out.U32le(kPixelBytes);
    out.U32le(2835);  // 72 dpi, in pixels per metre
    out.U32le(2835);
    out.U32le(0);  // colours used
    out.U32le(0);  // important colours

    for (int y = RgbImage::kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < RgbImage::kWidth; ++x) {
            const Rgb pixel = image.Get(x, y);
            out.U8(pixel.b);
            out.U8(pixel.g);
            out.U8(pixel.r);
        }
        for (std::uint32_t pad = RgbImage::kWidth * 3; pad < kRowSize; ++pad) out.U8(0);
    }
    return out.Take();
}

}  // namespace quil
