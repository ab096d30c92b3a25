// Byte formats of the two log files. No Windows headers: this file also builds
// natively for fuzzing. Lines end with "\n"; the writers open their files in text
// mode, which stores it as CR LF.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace nubix {

// One reading of the system clock in UTC, to the millisecond.
struct UtcTime {
    int year, month, day, hour, minute, second, milliseconds;
};

// "[Y-M-D][h:m:s-mmmm]命令号:N  操作: TEXT\n", the hour shifted by 8 on the UTC date.
// Writes at most `capacity` bytes including a terminating zero and returns the length
// of the line (cut when it does not fit).
std::size_t FormatOpLogLine(char* out, std::size_t capacity, const UtcTime& time, int number,
                            const char* text);

// The level log's working buffers: 255 bytes of text and a zero each.
constexpr std::size_t kLevelBufferBytes = 256;

// `text` holds the first min(length, limit) bytes of a text of `length` bytes. When
// the text was longer than `limit`, cuts it to at most `limit` bytes without
// splitting a GBK double-byte character and writes the zero. Returns the length kept.
std::size_t CutAtCharBoundary(char* text, std::size_t length, std::size_t limit);

// Formats `format` with `args` into `buf`, cut to 255 bytes at a character boundary.
std::size_t FormatLevelMessage(char (&buf)[kLevelBufferBytes], const char* format,
                               std::va_list args);

// Applies the mark of `level` to `message` into `buf2`, cut to 255 bytes at a
// character boundary.
std::size_t DecorateLevelMessage(char (&buf2)[kLevelBufferBytes], int level, const char* message);

// "Y-M-D-h-m-s -- DECORATED\n" with the UTC time to the second.
std::size_t FormatLevelLogLine(char* out, std::size_t capacity, const UtcTime& time,
                               const char* decorated);

// Room for any level-log line: the time stamp and a full decorated message.
constexpr std::size_t kLevelLineBytes = 64 + kLevelBufferBytes;

}  // namespace nubix
