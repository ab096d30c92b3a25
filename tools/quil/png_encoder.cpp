#include "png_encoder.h"

#include <cstddef>

#include "byte_writer.h"
#include "checksums.h"

namespace quil {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMaxStoredBlock = 65535;

// A chunk: length, type, data, and the CRC over type and data.
void WriteChunk(ByteWriter& out, const char type[4], const std::uint8_t* data, std::size_t size) {
    out.U32be(static_cast<std::uint32_t>(size));
    const std::size_t crcStart = out.Size();
    out.Bytes(type, 4);
    if (size != 0) out.Bytes(data, size);
    out.U32be(Crc32(out.Data() + crcStart, 4 + size));
}

// The scanlines as PNG filters them: one filter-type byte, then RGB triples.
std::vector<std::uint8_t> Scanlines(const RgbImage& image) {
    ByteWriter raw;
    for (int y = 0; y < RgbImage::kHeight; ++y) {
        raw.U8(0);
        for (int x = 0; x < RgbImage::kWidth; ++x) {
            const Rgb pixel = image.Get(x, y);
            raw.U8(pixel.r);
            raw.U8(pixel.g);
            raw.U8(pixel.b);
        }
    }
    return raw.Take();
}

// A zlib stream (RFC 1950) holding `data` in stored deflate blocks (RFC 1951 3.2.4).
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& data) {
    ByteWriter out;
    out.U8(0x78);  // deflate, 32 KiB window
    out.U8(0x01);  // no preset dictionary, fastest level; (0x78 << 8 | 0x01) % 31 == 0
    std::size_t offset = 0;
    do {
        const std::size_t size = data.size() - offset < kMaxStoredBlock ? data.size() - offset : kMaxStoredBlock;
        const bool last = offset + size == data.size();
        out.U8(last ? 1 : 0);  // BFINAL, BTYPE 00
        out.U16le(static_cast<std::uint16_t>(size));
        out.U16le(static_cast<std::uint16_t>(~size));
        if (size != 0) out.Bytes(data.data() + offset, size);
        offset += size;
    } while (offset < data.size());
    out.U32be(Adler32(data.data(), data.size()));
    return out.Take();
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const RgbImage& image) {
    ByteWriter header;
    header.U32be(RgbImage::kWidth);
    header.U32be(RgbImage::kHeight);
    header.U8(8);  // bit depth
    header.U8(2);  // colour type: truecolour
    header.U8(0);  // compression: deflate
    header.U8(0);  // filter method 0
    header.U8(0);  // no interlace

    const std::vector<std::uint8_t> idat = StoredZlib(Scanlines(image));

    ByteWriter out;
    out.Bytes(kSignature, sizeof kSignature);
    WriteChunk(out, "IHDR", header.Data(), header.Size());
    WriteChunk(out, "IDAT", idat.data(), idat.size());
    WriteChunk(out, "IEND", nullptr, 0);
    return out.Take();
}

}  // namespace quil
