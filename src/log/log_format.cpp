#include "log/log_format.h"

#include <cstdio>
#include <cstring>

#include "log/log_texts.h"

namespace nubix {
namespace {

// snprintf's result clamped to what was stored.
std::size_t Stored(int written, std::size_t capacity) {
    if (written < 0 || capacity == 0) return 0;
    return static_cast<std::size_t>(written) < capacity ? static_cast<std::size_t>(written)
                                                        : capacity - 1;
}

// UTC + 8 on a 24-hour clock. Reduced first, so that no clock value overflows or
// prints an hour outside 0..23.
int ShiftedHour(int utcHour) { return (utcHour % 24 + 32) % 24; }

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

const char* MarkFormat(int level) {
    switch (level) {
        case 1: return texts::kMarkInfo;
        case 3: return texts::kMarkDebug;
        case 4: return texts::kMarkCrit;
        case 5: return texts::kMarkFatal;
        default: return texts::kMarkNone;
    }
}

}  // namespace

std::size_t FormatOpLogLine(char* out, std::size_t capacity, const UtcTime& t, int number,
                            const char* text) {
    if (capacity == 0) return 0;
    std::size_t n = Stored(std::snprintf(out, capacity, "[%d-%d-%d][%d:%d:%d-%4d]", t.year,
                                         t.month, t.day, ShiftedHour(t.hour), t.minute, t.second,
                                         t.milliseconds),
                           capacity);
    n += Stored(std::snprintf(out + n, capacity - n, texts::kOpLogBody, number, text), capacity - n);
    n += Stored(std::snprintf(out + n, capacity - n, "\n"), capacity - n);
    return n;
}

std::size_t CutAtCharBoundary(char* text, std::size_t length, std::size_t limit) {
    if (length <= limit) return length;
    std::size_t i = 0;
    while (i < limit) {
        std::size_t width = IsGbkLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > limit) break;
        i += width;
    }
    text[i] = '\0';
    return i;
}

std::size_t FormatLevelMessage(char (&buf)[kLevelBufferBytes], const char* format,
                               std::va_list args) {
    std::memset(buf, 0, sizeof buf);
    int written = std::vsnprintf(buf, sizeof buf, format, args);
    if (written < 0) {
        buf[0] = '\0';
        return 0;
    }
    return CutAtCharBoundary(buf, static_cast<std::size_t>(written), sizeof buf - 1);
}

std::size_t DecorateLevelMessage(char (&buf2)[kLevelBufferBytes], int level, const char* message) {
    std::memset(buf2, 0, sizeof buf2);
    int written = std::snprintf(buf2, sizeof buf2, MarkFormat(level), message);
    if (written < 0) {
        buf2[0] = '\0';
        return 0;
    }
    return CutAtCharBoundary(buf2, static_cast<std::size_t>(written), sizeof buf2 - 1);
}

std::size_t FormatLevelLogLine(char* out, std::size_t capacity, const UtcTime& t,
                               const char* decorated) {
    return Stored(std::snprintf(out, capacity, "%d-%d-%d-%d-%d-%d -- %s\n", t.year, t.month, t.day,
                                t.hour, t.minute, t.second, decorated),
                  capacity);
}

}  // namespace nubix
