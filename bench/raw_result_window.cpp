#include "raw_result_window.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "viewer_record.h"

namespace bench {
namespace {

constexpr char kClassName[] = "NubixBenchRawResults";
constexpr UINT kPictureResult = WM_APP + 36;
constexpr UINT kRecordResult = WM_APP + 37;

}  // namespace

RawResultWindow::RawResultWindow(ResultCallback callback) : callback_(callback) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, kClassName, "raw", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
}

RawResultWindow::~RawResultWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
}

LRESULT CALLBACK RawResultWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<RawResultWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_COPYDATA:
            self->OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return 0;
        case kPictureResult:
        case kRecordResult:
            self->OnResult(message, reinterpret_cast<void*>(lParam));
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void RawResultWindow::OnCopyData(const COPYDATASTRUCT* copyData) {
    if (copyData == nullptr || copyData->lpData == nullptr || copyData->cbData < sizeof(ViewerRecord)) return;
    const UINT post = copyData->dwData == 2 ? kPictureResult : copyData->dwData == 3 ? kRecordResult : 0;
    if (post == 0) return;
    auto* copy = new (std::nothrow) unsigned char[sizeof(ViewerRecord)];
    if (copy == nullptr) return;
    std::memcpy(copy, copyData->lpData, sizeof(ViewerRecord));
    if (!PostMessageA(window_, post, sizeof(ViewerRecord), reinterpret_cast<LPARAM>(copy))) delete[] copy;
}

void RawResultWindow::OnResult(UINT message, void* copy) {
    ViewerRecord record;
    std::memcpy(&record, copy, sizeof record);
    delete[] static_cast<unsigned char*>(copy);
    const bool picture = message == kPictureResult;
    const bool ok = picture ? record.result == 1 : record.result != 0;
    StatusBlock status = {static_cast<unsigned short>(picture ? STATUS_OP_PICTURE : STATUS_OP_RECORD_FILE), 0,
                          ok ? 0 : -1};
    callback_(record.channel, KIND_STATUS, record.tag, &status, sizeof status);
    if (!ok) return;
    char path[260];
    const int length = std::snprintf(path, sizeof path, "%.*s%.*s", static_cast<int>(sizeof record.directory),
                                     record.directory, static_cast<int>(sizeof record.fileName), record.fileName);
    callback_(record.channel, picture ? KIND_PICTURE_FILE : KIND_RECORD_FILE, record.tag, path,
              length < static_cast<int>(sizeof path) ? length : static_cast<int>(sizeof path) - 1);
}

}  // namespace bench
