// The stand-in video control: a DLL that regsvr32 can register and unregister. It
// offers no class object; registering it only creates the class key that the client
// library looks for, and VANTO_MODE (vanto_mode.h) lets a test make that fail or
// come late.
#include <windows.h>
#include <olectl.h>

#include "class_key.h"
#include "vanto_mode.h"

namespace {

HMODULE ThisModule = nullptr;

vanto::ModeSetting CurrentMode() {
    char text[64] = {};
    const DWORD length = GetEnvironmentVariableA(vanto::kModeVariable, text, sizeof text);
    if (length == 0) return vanto::ParseMode(nullptr);
    if (length >= sizeof text) return {vanto::RegisterMode::kUnknown, 0};
    return vanto::ParseMode(text);
}

HRESULT RegisterNow() {
    char modulePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(ThisModule, modulePath, sizeof modulePath);
    if (length == 0 || length >= sizeof modulePath) return SELFREG_E_CLASS;
    return vanto::CreateClassKey(modulePath) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

// WinExec waits until the GUI program it started first waits for input, or ends
// (Wine: up to 30 s, and only when the caller has user32 loaded). regsvr32 /s never
// waits for input, so WinExec normally returns once it has ended, key in place.
// Here regsvr32 waits on its message queue for the delay first: that marks it idle,
// WinExec returns while the key is still missing, and the key comes `delayMs` later
// from this same regsvr32, which then ends. A slow registration as it happens, and
// nothing is left running once it is done.
HRESULT RegisterLate(unsigned delayMs) {
    const DWORD start = GetTickCount();
    DWORD elapsed = 0;
    do {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, delayMs - elapsed, QS_ALLINPUT) == WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        elapsed = GetTickCount() - start;
    } while (elapsed < delayMs);
    return RegisterNow();
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ThisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" {

STDAPI DllRegisterServer() {
    const vanto::ModeSetting setting = CurrentMode();
    switch (setting.mode) {
        case vanto::RegisterMode::kNow: return RegisterNow();
        case vanto::RegisterMode::kLate: return RegisterLate(setting.delayMs);
        case vanto::RegisterMode::kFail: return SELFREG_E_CLASS;
        case vanto::RegisterMode::kUnknown: break;
    }
    return E_INVALIDARG;
}

STDAPI DllUnregisterServer() { return vanto::DeleteClassKey() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS; }

// Nothing here can be created, so nothing ever holds the DLL.
STDAPI DllCanUnloadNow() { return S_FALSE; }

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object != nullptr) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // extern "C"
