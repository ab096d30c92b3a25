// Appends integers of fixed width and byte order to a growing byte buffer, for the
// image encoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quil {

class ByteWriter {
public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U16le(std::uint16_t value);
    void U32le(std::uint32_t value);
    void U16be(std::uint16_t value);
    void U32be(std::uint32_t value);
    void Bytes(const void* data, std::size_t size);

    std::size_t Size() const { return bytes_.size(); }
    const std::uint8_t* Data() const { return bytes_.data(); }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace quil
