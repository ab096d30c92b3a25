#include "op_log_floor.h"

#include <cstdio>

namespace bench {

void OpLogFloor::Write(const char* text) {
    EnterCriticalSection(&lock_);
    if (std::FILE* file = std::fopen("c:\\nv.log", "a+")) {
        SYSTEMTIME t;
        GetSystemTime(&t);
        std::fprintf(file, "[%d-%d-%d][%d:%d:%d-%4d]", t.wYear, t.wMonth, t.wDay, (t.wHour + 8) % 24,
                     t.wMinute, t.wSecond, t.wMilliseconds);
        // 命令号:%d  操作: %s
        std::fprintf(file, "\xC3\xFC\xC1\xEE\xBA\xC5:%d  \xB2\xD9\xD7\xF7: %s\n", 0, text);
        std::fclose(file);
    }
    LeaveCriticalSection(&lock_);
}

}  // namespace bench
