// One operation-log line.
#include <string>

#include "fuzz_input.h"
#include "log/log_format.h"
#include "properties.h"

namespace nubix::fuzz {
namespace {

std::string RightAligned(std::int32_t value, std::size_t width) {
    std::string digits = std::to_string(value);
    return digits.size() < width ? std::string(width - digits.size(), ' ') + digits : digits;
}

}  // namespace

std::string OpLogLineViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    UtcTime t;
    t.year = input.Int32();
    t.month = input.Int32();
    t.day = input.Int32();
    t.hour = input.Int32();
    t.minute = input.Int32();
    t.second = input.Int32();
    t.milliseconds = input.Int32();
    const std::int32_t number = input.Int32();
    const std::size_t capacity = input.Uint16() % 1100;
    const std::string text = input.Text();

    // The hour is UTC + 8 on a 24-hour clock, whatever the clock gave.
    const long long shifted = ((static_cast<long long>(t.hour) % 24 + 24) % 24 + 8) % 24;
    const std::string expected = "[" + std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                                 std::to_string(t.day) + "][" + std::to_string(shifted) + ":" +
                                 std::to_string(t.minute) + ":" + std::to_string(t.second) + "-" +
                                 RightAligned(t.milliseconds, 4) + "]" +
                                 "\xC3\xFC\xC1\xEE\xBA\xC5:" + std::to_string(number) +  // 命令号:
                                 "  \xB2\xD9\xD7\xF7: " + text + "\n";                   // 操作:
    ExactBlock out(capacity);
    const std::size_t length = FormatOpLogLine(out.Chars(), capacity, t, number, text.c_str());
    if (capacity == 0) return length == 0 ? "" : "wrote into no room";
    const std::size_t fits = expected.size() < capacity ? expected.size() : capacity - 1;
    if (length != fits) return "length " + std::to_string(length) + ", expected " + std::to_string(fits);
    if (out.Chars()[length] != '\0') return "line not zero-terminated";
    if (std::string(out.Chars(), length) != expected.substr(0, fits)) return "line is not " + expected;
    return "";
}

}  // namespace nubix::fuzz
