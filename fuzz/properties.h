// What must hold for every input of the library's pure parts. Each function takes a
// fuzzer's input, runs one part on it and returns a description of the first property
// that fails, or "" when all hold. The fuzz targets abort on a non-empty answer; the
// native unit tests run the same checks on the regression inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nubix::fuzz {

// BuildCommandRecord on a request block of exactly the bytes its total length
// claims (or of 4 bytes, its length alone, when that length is out of bounds).
std::string CommandRecordViolation(const std::uint8_t* data, std::size_t size);

// ReadResultRecord on `size` received bytes, then JoinResultPath.
std::string InboundResultViolation(const std::uint8_t* data, std::size_t size);

// ReadRecordParamBlock on a posted block of `size` bytes.
std::string RecordParamsViolation(const std::uint8_t* data, std::size_t size);

// FormatMacText: byte 0 the address length, bytes 1..4 the output size, then the
// address bytes.
std::string MacTextViolation(const std::uint8_t* data, std::size_t size);

// FormatLevelMessage with "%s" and the text, then DecorateLevelMessage: bytes 0..3
// the level, the rest the text (up to its first zero).
std::string LevelLogViolation(const std::uint8_t* data, std::size_t size);

// FormatOpLogLine: seven time fields, the command number and the output capacity,
// then the text.
std::string OpLogLineViolation(const std::uint8_t* data, std::size_t size);

// ApplicationDirectory and the three paths built from it.
std::string AppPathsViolation(const std::uint8_t* data, std::size_t size);

}  // namespace nubix::fuzz
