// The benchmark's clock: the performance counter, which is one clock for every
// process of the system (the viewer simulator stamps results with it).
#pragma once

#include <windows.h>

#include <cstdint>

namespace bench {

inline std::int64_t Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline double TicksToMicroseconds(std::int64_t ticks) {
    static const double perMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    return static_cast<double>(ticks) / perMicrosecond;
}

// Microseconds from a 32-bit stamp (the counter's low half) to now.
inline double MicrosecondsSinceStamp(std::uint32_t stamp) {
    const std::uint32_t elapsed = static_cast<std::uint32_t>(Now()) - stamp;
    return TicksToMicroseconds(static_cast<std::int64_t>(elapsed));
}

}  // namespace bench
