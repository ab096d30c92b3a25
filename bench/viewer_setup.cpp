#include "viewer_setup.h"

#include <cstdio>

#include "message_pump.h"

namespace bench {

void CreateControlKey() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}", 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

SimulatorScript::SimulatorScript() {
    char directory[MAX_PATH];
    char path[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory || GetTempFileNameA(directory, "qsc", 0, path) == 0) return;
    path_ = path;
    SetEnvironmentVariableA("QUIL_SCRIPT", path_.c_str());
    SetEnvironmentVariableA("QUIL_JOURNAL", nullptr);
}

SimulatorScript::~SimulatorScript() {
    SetEnvironmentVariableA("QUIL_SCRIPT", nullptr);
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

bool SimulatorScript::Use(const std::vector<std::string>& lines) {
    if (path_.empty()) return false;
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) return false;
    for (const std::string& line : lines) std::fprintf(file, "%s\n", line.c_str());
    return std::fclose(file) == 0;
}

HWND FindViewerWindow() { return FindWindowA(nullptr, "QUIL"); }

bool EndAllViewers(DWORD timeoutMs) {
    return PumpUntil(
        [] {
            HWND viewer = FindViewerWindow();
            if (viewer == nullptr) return true;
            DWORD pid = 0;
            GetWindowThreadProcessId(viewer, &pid);
            PostMessageA(viewer, WM_QUIT, 0, 0);
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                if (WaitForSingleObject(process, 1000) != WAIT_OBJECT_0) TerminateProcess(process, 9);
                WaitForSingleObject(process, 1000);
                CloseHandle(process);
            }
            return false;
        },
        timeoutMs);
}

void DeleteLogs() {
    DeleteFileA("c:\\nv.log");
    DeleteFileA("c:\\vs.log");
}

}  // namespace bench
