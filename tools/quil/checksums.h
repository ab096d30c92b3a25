// The two checksums a PNG file needs: CRC-32 over each chunk and Adler-32 over the
// zlib stream's uncompressed data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quil {

// CRC-32 (ISO 3309, reflected, polynomial 0xEDB88320). Continue a running value by
// passing the previous result as `crc`.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// Adler-32 (RFC 1950). Continue a running value by passing the previous result.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace quil
