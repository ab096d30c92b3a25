#include <windows.h>

#include <cstdio>

#include "client/process_state.h"
#include "log/logs.h"

namespace nubix {

const LogClock& CurrentLogClock();

void WriteOpLog(int number, const char* text) {
    if (!ProcessLocksAlive()) return;
    CriticalSectionGuard guard(LogLock);
    std::FILE* file = std::fopen("c:\\nv.log", "a+");
    if (file == nullptr) return;
    UtcTime now;
    CurrentLogClock().utcNow(&now);
    char line[1024];
    std::size_t length = FormatOpLogLine(line, sizeof line, now, number, text);
    std::fwrite(line, 1, length, file);
    std::fclose(file);
}

}  // namespace nubix
