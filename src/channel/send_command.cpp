#include "channel/send_command.h"

#include <atomic>
#include <cstring>

#include "client/process_state.h"
#include "client/vs_client.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {
namespace {

std::atomic<DWORD> CommandTimeoutMs{kCommandTimeoutMs};

// How many re-opens the thread holding CommandLock is inside; read and written only
// under CommandLock.
int ReopenDepth = 0;

// The window a re-open has been handed to: the commands that fail until that window
// is replaced do not ask for another one. Written under CommandLock.
std::atomic<HWND> ReopenPostedTo{nullptr};

std::atomic<UINT> ReopenMessageNumber{0};

// Sends the command and waits for the answer. SMTO_NORMAL keeps this thread handling
// the messages sent to its own windows meanwhile (the viewer's open result and
// results), as a plain SendMessageA would; the bound keeps a hung viewer from
// holding the host forever.
LRESULT Deliver(HWND viewerWindow, HWND clientWindow, COPYDATASTRUCT& copyData) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(viewerWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(clientWindow),
                             reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL, CommandTimeoutMs,
                             &answer)) {
        return 0;
    }
    return static_cast<LRESULT>(answer);
}

// Re-opens with a copy of the saved login: its fields need not be zero-terminated,
// and the open rewrites them while it reads.
void ReopenWithSavedLogin(VSClient& client) {
    char address[sizeof SavedLogin.address + 1] = {};
    char user[sizeof SavedLogin.user + 1] = {};
    char password[sizeof SavedLogin.password + 1] = {};
    std::memcpy(address, SavedLogin.address, sizeof SavedLogin.address);
    std::memcpy(user, SavedLogin.user, sizeof SavedLogin.user);
    std::memcpy(password, SavedLogin.password, sizeof SavedLogin.password);
    IVSClient& slots = client;
    if (slots.OpenServer(address, 0, user, password, 0) == 0) WriteOpLog(0, texts::kReopenFailed);
}

// Re-opens on this thread, unless the notification window belongs to another one:
// a window made here would be served by no message loop, and the old one could not
// be destroyed. Called under CommandLock.
void Reopen(VSClient& client) {
    HWND window = client.notifyWindow;
    if (window != nullptr && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        if (ReopenPostedTo != window && PostMessageA(window, ReopenMessage(), 0, 0)) ReopenPostedTo = window;
        return;
    }
    ++ReopenDepth;
    ReopenWithSavedLogin(client);
    --ReopenDepth;
}

}  // namespace

UINT ReopenMessage() {
    // Not a function-local static: its guarded initialisation can throw. The name
    // gives the same number on every call, so a race only registers it twice.
    UINT message = ReopenMessageNumber;
    if (message == 0) {
        message = RegisterWindowMessageA("NubixVSClient.Reopen");
        ReopenMessageNumber = message;
    }
    return message;
}

void ReopenOnWindowThread(VSClient& client, HWND window) {
    CriticalSectionGuard guard(CommandLock);
    ReopenPostedTo = nullptr;
    // A re-open since the request was posted has already replaced the window.
    if (client.notifyWindow != window || ReopenDepth != 0) return;
    ++ReopenDepth;
    ReopenWithSavedLogin(client);
    --ReopenDepth;
}

void SetCommandTimeoutForTesting(DWORD milliseconds) {
    CommandTimeoutMs = milliseconds != 0 ? milliseconds : kCommandTimeoutMs;
}

int VSClient::SendCommand(HWND viewerWindow, HWND clientWindow, std::uint32_t code,
                          const void* data, int size) {
    CriticalSectionGuard guard(CommandLock);
    COPYDATASTRUCT copyData;
    copyData.dwData = code;
    copyData.cbData = static_cast<DWORD>(size);
    copyData.lpData = const_cast<void*>(data);
    const int answer = static_cast<int>(Deliver(viewerWindow, clientWindow, copyData));
    if (answer != 0) {
        WriteOpLog(0, texts::kCommandSent);
        return answer;
    }
    WriteOpLog(0, texts::kCommandFailed);
    // One re-open per failed command: an open command that fails inside a re-open
    // does not start another one.
    if (ReopenDepth == 0) {
        WriteOpLog(0, texts::kTryReopen);
        Reopen(*this);
    }
    return 0;
}

}  // namespace nubix
