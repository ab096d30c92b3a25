// Opening and closing the server: control check, notification window, viewer start,
// rendezvous, saved login, open command and the per-channel tables.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "channel/notify_window.h"
#include "channel/system_lead_byte.h"
#include "client/app_paths.h"
#include "client/control_registration.h"
#include "client/process_state.h"
#include "client/vs_client.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {
namespace {

// The directory of the host's executable and the viewer's command line, or false
// when either cannot be had whole.
bool FindViewer(PathBuffer& directory, PathBuffer& viewerPath) {
    char exePath[kPathBytes] = {};
    const DWORD length = GetModuleFileNameA(nullptr, exePath, sizeof exePath);
    if (length == 0 || length >= sizeof exePath) return false;
    return ApplicationDirectory(exePath, directory, IsSystemLeadByte) && BuildViewerPath(directory, viewerPath);
}

// Maps the viewer's rendezvous in place of any earlier one. The earlier view is not
// zeroed: it names the same mapping, where the new viewer has written its handle.
// Returns the new block, or null when the mapping cannot be opened or mapped.
RendezvousBlock* MeetViewer() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRendezvousName);
    if (mapping == nullptr) return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        CloseHandle(mapping);
        return nullptr;
    }
    RendezvousView.Reset(view);
    RendezvousMapping.Reset(mapping);
    return Rendezvous();
}

void SaveLogin(const char* address, const char* user, const char* password) {
    CopyPadded(SavedLogin.address, sizeof SavedLogin.address, address);
    CopyPadded(SavedLogin.user, sizeof SavedLogin.user, user);
    CopyPadded(SavedLogin.password, sizeof SavedLogin.password, password);
}

// Each number as a signed decimal of its full width: on x64 the view may lie above
// 4 GiB; on x86 the line is the same as with 32-bit numbers.
void WriteRendezvousReport(const void* view, std::int32_t viewerWindow, HWND notifyWindow) {
    char line[160];
    std::snprintf(line, sizeof line, "%s%lld%s%ld%s%lld", texts::kSharedAddress,
                  static_cast<long long>(reinterpret_cast<INT_PTR>(view)), texts::kWindowHandle,
                  static_cast<long>(viewerWindow), texts::kDllHandle,
                  static_cast<long long>(reinterpret_cast<INT_PTR>(notifyWindow)));
    WriteOpLog(0, line);
}

}  // namespace

int VSClient::OpenServer(const char* address, int, const char* user, const char* password, int) {
    // Only this open's MSG_OPEN_RESULT may make it succeed.
    serverOpen = 0;
    if (address == nullptr || user == nullptr || password == nullptr) return 0;

    PathBuffer directory;
    PathBuffer viewerPath;
    if (!FindViewer(directory, viewerPath)) return 0;
    if (!EnsureControlRegistered(directory)) return 0;

    if (notifyWindow != nullptr) {
        // The old window goes once the new one exists, so that results still queued
        // for it move over instead of being lost.
        HWND previous = notifyWindow;
        notifyWindow = nullptr;
        CloseServer();
        WriteOpLog(0, texts::kCloseFirst);
        WriteOpLog(0, texts::kTryCreateWindow);
        notifyWindow = CreateNotifyWindow();
        if (notifyWindow == nullptr) WriteOpLog(0, texts::kCreateWindowFailed);
        DestroyNotifyWindow(previous, notifyWindow);
    } else {
        notifyWindow = CreateNotifyWindow();
    }
    if (notifyWindow == nullptr) {
        WriteOpLog(0, texts::kOpenFailedNoWindow);
        return 0;
    }

    if (WinExec(viewerPath, SW_HIDE) <= 31) return 0;

    if (RendezvousBlock* block = MeetViewer()) {
        SaveLogin(address, user, password);
        RendezvousBlock commContent;
        std::memcpy(&commContent, block, sizeof commContent);
        const std::int32_t viewerWindow = commContent.viewerWindow;
        // Window handles are 32-bit significant, so that processes of either bitness
        // can exchange them: truncated when written, sign-extended when read.
        commContent.clientWindow = HandleToLong(notifyWindow);
        std::memcpy(block, &commContent, sizeof commContent);
        WriteRendezvousReport(block, viewerWindow, notifyWindow);
        if (viewerWindow != 0) {
            HWND viewer = static_cast<HWND>(LongToHandle(viewerWindow));
            if (SendCommand(viewer, notifyWindow, CMD_OPEN_SERVER, &SavedLogin, sizeof SavedLogin) == 0) {
                WriteOpLog(0, texts::kOpenCommandFailed);
            }
        }
    }

    if (serverOpen != 1) return 0;
    // A re-open nested in the open command may have made tables already.
    ReleaseTables();
    return CreateTables() ? 1 : 0;
}

int VSClient::CloseServer() {
    if (HWND viewer = FindWindowA(nullptr, "QUIL")) PostMessageA(viewer, WM_QUIT, 0, 0);
    if (notifyWindow != nullptr) {
        DestroyNotifyWindow(notifyWindow);
        notifyWindow = nullptr;
    }
    ReleaseTables();
    return 0;
}

}  // namespace nubix
