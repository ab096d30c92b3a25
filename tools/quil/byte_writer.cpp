#include "byte_writer.h"

namespace quil {

void ByteWriter::U16le(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value));
    U8(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::U32le(std::uint32_t value) {
    U16le(static_cast<std::uint16_t>(value));
    U16le(static_cast<std::uint16_t>(value >> 16));
}

void ByteWriter::U16be(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value >> 8));
    U8(static_cast<std::uint8_t>(value));
}

void ByteWriter::U32be(std::uint32_t value) {
    U16be(static_cast<std::uint16_t>(value >> 16));
    U16be(static_cast<std::uint16_t>(value));
}

void ByteWriter::Bytes(const void* data, std::size_t size) {
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
}

}  // namespace quil
