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

}  // namespace

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
        ++ReopenDepth;
        ReopenWithSavedLogin(*this);
        --ReopenDepth;
    }
    return 0;
}

}  // namespace nubix
