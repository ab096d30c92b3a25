#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "log/logs.h"

namespace nubix {

const LogClock& CurrentLogClock();

namespace {
// Counts level-log calls; the call that brings it back to 0 empties the file.
std::atomic<std::uint16_t> LevelLogWriteCount{0};

UtcTime BreakDownUtc(long long seconds) {
    UtcTime t{};
    std::time_t value = static_cast<std::time_t>(seconds);
    if (const std::tm* tm = std::gmtime(&value)) {
        t.year = tm->tm_year + 1900;
        t.month = tm->tm_mon + 1;
        t.day = tm->tm_mday;
        t.hour = tm->tm_hour;
        t.minute = tm->tm_min;
        t.second = tm->tm_sec;
    }
    return t;
}
}  // namespace

void WriteLevelLog(int level, const char* format, ...) {
    char buf[kLevelBufferBytes];
    char buf2[kLevelBufferBytes];
    std::va_list args;
    va_start(args, format);
    FormatLevelMessage(buf, format, args);
    va_end(args);
    DecorateLevelMessage(buf2, level, buf);

    // fetch_add wraps modulo 2^16: exactly one caller sees the new value 0.
    const std::uint16_t count = static_cast<std::uint16_t>(LevelLogWriteCount.fetch_add(1) + 1);
    std::FILE* file = std::fopen("c:\\vs.log", count == 0 ? "w" : "a");
    if (file == nullptr) return;
    char line[kLevelLineBytes];
    std::size_t length =
        FormatLevelLogLine(line, sizeof line, BreakDownUtc(CurrentLogClock().calendarSeconds()), buf2);
    std::fwrite(line, 1, length, file);
    std::fclose(file);
}

}  // namespace nubix
