#include "vanto_mode.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vanto {

ModeSetting ParseMode(const char* text) {
    if (text == nullptr || text[0] == '\0') return {RegisterMode::kNow, 0};
    if (std::strcmp(text, "fail") == 0) return {RegisterMode::kFail, 0};
    static const char kLatePrefix[] = "late:";
    const std::size_t prefixLength = sizeof kLatePrefix - 1;
    if (std::strncmp(text, kLatePrefix, prefixLength) == 0) {
        const char* digits = text + prefixLength;
        char* end = nullptr;
        errno = 0;
        const unsigned long delay = std::strtoul(digits, &end, 10);
        // At most a minute: WinExec gives up waiting after 30 s anyway.
        if (digits[0] >= '0' && digits[0] <= '9' && *end == '\0' && errno == 0 && delay <= 60000) {
            return {RegisterMode::kLate, static_cast<unsigned>(delay)};
        }
    }
    return {RegisterMode::kUnknown, 0};
}

}  // namespace vanto
