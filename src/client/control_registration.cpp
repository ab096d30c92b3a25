#include "client/control_registration.h"

#include <windows.h>

#include "client/app_paths.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {
namespace {

bool ControlKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kControlKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Runs the registration program on the control's file. False, with the reason in
// the level log where there is one, when the key is still missing afterwards.
bool RegisterControl(const char* applicationDirectory) {
    PathBuffer controlPath;
    PathBuffer command;
    if (!BuildControlPath(applicationDirectory, controlPath) ||
        !BuildRegistrationCommand(controlPath, command)) {
        return false;
    }
    if (GetFileAttributesA(controlPath) == INVALID_FILE_ATTRIBUTES) {
        WriteLevelLog(3, texts::kControlPathMissing);
        return false;
    }
    // The command embeds a directory, which may hold a '%': it is data, not a format.
    WriteLevelLog(3, "%s", command);
    if (WinExec(command, SW_HIDE) <= 31) return false;
    if (!ControlKeyExists()) {
        WriteLevelLog(3, texts::kControlCannotRegister);
        return false;
    }
    WriteLevelLog(3, texts::kControlRegistered);
    return true;
}

}  // namespace

bool EnsureControlRegistered(const char* applicationDirectory) {
    if (!ControlKeyExists() && !RegisterControl(applicationDirectory)) return false;
    WriteLevelLog(3, texts::kControlAlreadyRegistered);
    return true;
}

}  // namespace nubix
