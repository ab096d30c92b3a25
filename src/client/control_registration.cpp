#include "client/control_registration.h"

#include <windows.h>

#include <cstdio>

#include "client/app_paths.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {
namespace {

// The viewer hosts the control, so the control is registered for the viewer's
// bitness: in that registry view, by the registration program of that bitness. The
// 32-bit library looks in its own view and runs plain "regsvr32", as it always has.
struct RegistrationTarget {
    REGSAM view = 0;              // 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY
    const char* program = nullptr;  // the full path of regsvr32; null: plain "regsvr32"
    char programBuffer[kPathBytes] = {};
};

#if defined(_WIN64)
// A 32-bit viewer needs the 32-bit regsvr32 from the WoW64 folder, named in full: a
// plain "regsvr32" started from here is the 64-bit one, which hands a 32-bit file to
// the 32-bit program and returns before that has finished.
void ChooseTarget(const char* applicationDirectory, RegistrationTarget& target) {
    target.view = KEY_WOW64_64KEY;
    PathBuffer viewerPath;
    DWORD type = 0;
    if (!BuildViewerPath(applicationDirectory, viewerPath) || !GetBinaryTypeA(viewerPath, &type) ||
        type != SCS_32BIT_BINARY) {
        return;  // a 64-bit viewer, or none to look at: the library's own bitness
    }
    target.view = KEY_WOW64_32KEY;
    char wow64[kPathBytes];
    const UINT length = GetSystemWow64DirectoryA(wow64, sizeof wow64);
    if (length == 0 || length >= sizeof wow64) return;
    const int written =
        std::snprintf(target.programBuffer, sizeof target.programBuffer, "%s\\regsvr32.exe", wow64);
    if (written > 0 && static_cast<std::size_t>(written) < sizeof target.programBuffer) {
        target.program = target.programBuffer;
    }
}
#else
void ChooseTarget(const char*, RegistrationTarget&) {}
#endif

bool ControlKeyExists(const RegistrationTarget& target) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kControlKey, 0, KEY_QUERY_VALUE | target.view, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Runs the registration program on the control's file. False, with the reason in
// the level log where there is one, when the key is still missing afterwards.
bool RegisterControl(const char* applicationDirectory, const RegistrationTarget& target) {
    PathBuffer controlPath;
    PathBuffer command;
    if (!BuildControlPath(applicationDirectory, controlPath) ||
        !BuildRegistrationCommand(target.program, controlPath, command)) {
        return false;
    }
    if (GetFileAttributesA(controlPath) == INVALID_FILE_ATTRIBUTES) {
        WriteLevelLog(3, texts::kControlPathMissing);
        return false;
    }
    // The command embeds a directory, which may hold a '%': it is data, not a format.
    WriteLevelLog(3, "%s", command);
    if (WinExec(command, SW_HIDE) <= 31) return false;
    if (!ControlKeyExists(target)) {
        WriteLevelLog(3, texts::kControlCannotRegister);
        return false;
    }
    WriteLevelLog(3, texts::kControlRegistered);
    return true;
}

}  // namespace

bool EnsureControlRegistered(const char* applicationDirectory) {
    RegistrationTarget target;
    ChooseTarget(applicationDirectory, target);
    if (!ControlKeyExists(target) && !RegisterControl(applicationDirectory, target)) return false;
    WriteLevelLog(3, texts::kControlAlreadyRegistered);
    return true;
}

}  // namespace nubix
