// Reading a fuzzer's input as fields, and handing bytes to the code under test in
// heap blocks of exactly their size, so that AddressSanitizer reports a read or a
// write one byte past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace nubix::fuzz {

// Takes fields off the front of the input; past its end every byte reads as zero.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::int32_t Int32() {
        std::uint8_t bytes[4] = {};
        for (std::uint8_t& b : bytes) b = Byte();
        std::int32_t value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    std::uint16_t Uint16() {
        const std::uint8_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    // The rest of the input, up to its first zero.
    std::string Text() {
        std::string text;
        while (at_ < size_ && data_[at_] != 0) text.push_back(static_cast<char>(data_[at_++]));
        at_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A heap block of exactly `size` bytes (a zero-sized block is a valid address with no
// bytes behind it).
class ExactBlock {
public:
    explicit ExactBlock(std::size_t size) : bytes_(new std::uint8_t[size]), size_(size) {}
    ExactBlock(const void* bytes, std::size_t size) : ExactBlock(size) {
        if (size != 0) std::memcpy(bytes_.get(), bytes, size);
    }
    std::uint8_t* Get() const { return bytes_.get(); }
    char* Chars() const { return reinterpret_cast<char*>(bytes_.get()); }
    std::size_t Size() const { return size_; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

// Whether `n` bytes from `p` are all zero.
inline bool AllZero(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i) {
        if (b[i] != 0) return false;
    }
    return true;
}

// Whether `at` is a character boundary of `text`, walking from its start: a GBK lead
// byte (0x81..0xFE) begins a two-byte character, any other byte a one-byte one.
inline bool IsGbkBoundary(const std::string& text, std::size_t at) {
    std::size_t i = 0;
    while (i < at) {
        const auto c = static_cast<unsigned char>(text[i]);
        i += (c >= 0x81 && c <= 0xFE) ? 2 : 1;
    }
    return i == at;
}

}  // namespace nubix::fuzz
