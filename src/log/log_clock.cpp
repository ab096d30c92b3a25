#include <windows.h>

#include <atomic>
#include <ctime>

#include "log/logs.h"

namespace nubix {
namespace {

void SystemUtcNow(UtcTime* t) {
    SYSTEMTIME st;
    GetSystemTime(&st);
    *t = UtcTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

long long SystemCalendarSeconds() { return static_cast<long long>(std::time(nullptr)); }

constexpr LogClock kSystemClock{SystemUtcNow, SystemCalendarSeconds};
std::atomic<const LogClock*> Clock{&kSystemClock};

}  // namespace

const LogClock& CurrentLogClock() { return *Clock.load(); }

void SetLogClockForTesting(const LogClock* clock) { Clock = clock ? clock : &kSystemClock; }

}  // namespace nubix
