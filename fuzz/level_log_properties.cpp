// The level log's message buffer and its decoration by level.
#include <cstdarg>
#include <cstring>

#include "fuzz_input.h"
#include "log/log_format.h"
#include "properties.h"

namespace nubix::fuzz {
namespace {

constexpr std::size_t kMaxText = kLevelBufferBytes - 1;

std::size_t Format(char (&buf)[kLevelBufferBytes], const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::size_t length = FormatLevelMessage(buf, format, args);
    va_end(args);
    return length;
}

// The mark in front of the message, in GBK, as the log's readers know it.
std::string MarkOf(std::int32_t level) {
    switch (level) {
        case 1: return " \xA3\xA3\xA3\xA3INFO \xA3\xA3\xA3\xA3 ";
        case 3: return " \xA1\xF2\xA1\xF2 DEBUG \xA1\xF2\xA1\xF2 ";
        case 4: return " \xA3\xA1\xA3\xA1" "CRIT\xA3\xA1\xA3\xA1 ";
        case 5: return " \xA1\xF9\xA1\xF9" "FATAL\xA1\xF9\xA1\xF9 ";
        default: return "\xA1\xAD\xA1\xAD";
    }
}

// `buf` holds `length` bytes that must be `whole`, or its longest prefix of at most
// 255 bytes that ends between two characters; then zeros to the end.
std::string CutViolation(const char* what, const char (&buf)[kLevelBufferBytes], std::size_t length,
                         const std::string& whole) {
    const std::string name(what);
    if (length > kMaxText) return name + " longer than 255 bytes";
    if (!AllZero(buf + length, sizeof buf - length)) return name + " not zero-terminated and zero-filled";
    if (std::memcmp(buf, whole.data(), length) != 0) return name + " is not a prefix of the text";
    if (whole.size() <= kMaxText) return length == whole.size() ? "" : name + " cut although it fits";
    if (!IsGbkBoundary(whole, length)) return name + " cut inside a double-byte character";
    // Only a double-byte character across the 255th byte moves the cut one byte back.
    if (length == kMaxText || (length == kMaxText - 1 && !IsGbkBoundary(whole, kMaxText))) return "";
    return name + " cut shorter than it needed to be";
}

}  // namespace

std::string LevelLogViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t level = input.Int32();
    const std::string text = input.Text();

    char buf[kLevelBufferBytes];
    std::memset(buf, 0xCC, sizeof buf);
    const std::size_t length = Format(buf, "%s", text.c_str());
    std::string violation = CutViolation("message", buf, length, text);
    if (!violation.empty()) return violation;

    char buf2[kLevelBufferBytes];
    std::memset(buf2, 0xCC, sizeof buf2);
    const std::size_t decorated = DecorateLevelMessage(buf2, level, buf);
    return CutViolation("decorated message", buf2, decorated, MarkOf(level) + std::string(buf, length));
}

}  // namespace nubix::fuzz
