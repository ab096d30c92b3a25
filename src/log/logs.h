// The operation log "c:\nv.log" and the level log "c:\vs.log". Each call opens the
// file, writes one line and closes it; a line that cannot be written is lost silently.
#pragma once

#include "log/log_format.h"

namespace nubix {

// One operation-log line: time stamp, command number, `text` written verbatim.
// Serialised by LogLock; dropped when no client holds the locks.
void WriteOpLog(int number, const char* text);

// One level-log line: `format` formatted as by vsprintf, cut to 255 bytes, decorated
// with the mark of `level`. Takes no lock. Every 65536th call of the process empties
// the file first.
void WriteLevelLog(int level, const char* format, ...);

// The clock both logs read. Tests install their own; null restores the system clock.
struct LogClock {
    void (*utcNow)(UtcTime* time);       // to the millisecond, for the operation log
    long long (*calendarSeconds)();     // C calendar time, for the level log
};
void SetLogClockForTesting(const LogClock* clock);

}  // namespace nubix
