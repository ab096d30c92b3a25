#include "viewer_window.h"

namespace quil {
namespace {

constexpr char kClassName[] = "QuilViewerWindow";
constexpr char kTitle[] = "QUIL";

ViewerParts* PartsOf(HWND window) {
    return reinterpret_cast<ViewerParts*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return 0;
}

LRESULT OnCopyData(HWND window, WPARAM notifyWindow, const COPYDATASTRUCT* copyData) {
    ViewerParts* parts = PartsOf(window);
    if (parts == nullptr || copyData == nullptr) return 0;
    return parts->commands->Handle(reinterpret_cast<HWND>(notifyWindow), *copyData);
}

LRESULT OnTimer(HWND window, UINT_PTR id) {
    // One-shot: each delayed result has a timer of its own.
    KillTimer(window, id);
    if (ViewerParts* parts = PartsOf(window)) parts->delivery->Deliver(id);
    return 0;
}

LRESULT OnDeliver(HWND window, UINT_PTR id) {
    if (ViewerParts* parts = PartsOf(window)) parts->delivery->Deliver(id);
    return 0;
}

LRESULT OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
        case WM_COPYDATA: return OnCopyData(window, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_TIMER: return OnTimer(window, wParam);
        case WM_QUIL_DELIVER: return OnDeliver(window, wParam);
        case WM_DESTROY: return OnDestroy();
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND CreateViewerWindow(HINSTANCE instance, ViewerParts* parts) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ViewerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (RegisterClassA(&wc) == 0) return nullptr;
    // No WS_VISIBLE and never shown.
    return CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 240,
                           nullptr, nullptr, instance, parts);
}

}  // namespace quil
