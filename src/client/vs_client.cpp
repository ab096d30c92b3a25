#include "client/vs_client.h"

#include <cstring>

#include "client/process_state.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {

VSClient::VSClient() {
    WriteLevelLog(1, texts::kBanner);
    ActiveClient = this;
    std::memset(&SavedLogin, 0, sizeof SavedLogin);
    AcquireProcessLocks();
    WriteOpLog(0, texts::kInterfaceCreated);
}

VSClient::~VSClient() {
    WriteOpLog(0, texts::kInterfaceExited);
    ReleaseRendezvous();
    // The window this client may leave behind must not reach it any more.
    VSClient* self = this;
    ActiveClient.compare_exchange_strong(self, nullptr);
    ReleaseProcessLocks();
}

int VSClient::RestartServer() { return 0; }
int VSClient::Reserved3(int) { return 0; }
int VSClient::Reserved4(int) { return 0; }
int VSClient::Reserved7(int) { return 0; }
int VSClient::Reserved8(int) { return 0; }
int VSClient::Reserved10(int, int, int, int) { return 0; }

void VSClient::SetCallback(ResultCallback newCallback) { callback = newCallback; }

HWND VSClient::GetNotifyWindow() { return notifyWindow; }

int VSClient::InvokeCallback(int channel, std::uint16_t kind, int tag, void* data, int length) {
    if (callback == nullptr) return 0;
    // The callback takes the kind as a full 32-bit argument whose upper half is zero.
    using WideCallback = int(__stdcall*)(int, std::uint32_t, int, void*, int);
    auto wide = reinterpret_cast<WideCallback>(reinterpret_cast<void (*)()>(callback));
    return wide(channel, static_cast<std::uint32_t>(kind), tag, data, length);
}

}  // namespace nubix
