// The floor of result delivery: a hidden window that does with a viewer's result what
// any receiver of it must do, and nothing more. The WM_COPYDATA handler copies the
// 336-byte record to the heap and posts it to the window itself; when the posted
// message is dispatched, the record is copied out, the copy freed, and the callback
// called with the status and, for a success, with the joined path.
#pragma once

#include <windows.h>

#include "NubixVSClient.h"

namespace bench {

class RawResultWindow {
public:
    explicit RawResultWindow(ResultCallback callback);
    ~RawResultWindow();
    RawResultWindow(const RawResultWindow&) = delete;
    RawResultWindow& operator=(const RawResultWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCopyData(const COPYDATASTRUCT* copyData);
    void OnResult(UINT message, void* copy);

    ResultCallback callback_;
    HWND window_ = nullptr;
};

}  // namespace bench
