// The floor's operation-log line: what any host that keeps the library's log must do
// for one line, and nothing more. A lock, open "c:\nv.log" for appending, the time
// stamp and the line in the library's format, close.
#pragma once

#include <windows.h>

namespace bench {

// The GBK texts of the lines a taken command and a picture request write.
// 发送命令到控件窗口成功！
inline constexpr char kCommandSentText[] =
    "\xB7\xA2\xCB\xCD\xC3\xFC\xC1\xEE\xB5\xBD\xBF\xD8\xBC\xFE\xB4\xB0\xBF\xDA\xB3\xC9\xB9\xA6\xA3\xA1";
// 发送截图命令！
inline constexpr char kSendingCaptureText[] = "\xB7\xA2\xCB\xCD\xBD\xD8\xCD\xBC\xC3\xFC\xC1\xEE\xA3\xA1";

class OpLogFloor {
public:
    OpLogFloor() { InitializeCriticalSection(&lock_); }
    ~OpLogFloor() { DeleteCriticalSection(&lock_); }
    OpLogFloor(const OpLogFloor&) = delete;
    OpLogFloor& operator=(const OpLogFloor&) = delete;

    void Write(const char* text);

private:
    CRITICAL_SECTION lock_;
};

}  // namespace bench
