// Picture and record-file requests.
#include <windows.h>

#include <atomic>

#include "channel/system_lead_byte.h"
#include "client/process_state.h"
#include "client/vs_client.h"
#include "log/log_texts.h"
#include "log/logs.h"

namespace nubix {
namespace {

// Channel of the most recent picture request. Survives closes and clients; read and
// replaced in one step so that two threads cannot both skip the channel record.
std::atomic<std::int32_t> LastChannel{0};

constexpr DWORD kChannelSwitchWaitMs = 1000;

// The block's handle words are 32-bit significant: sign-extended to a full handle.
HWND AsWindow(std::int32_t handle) { return static_cast<HWND>(LongToHandle(handle)); }

}  // namespace

int VSClient::SendRequest(std::uint32_t code, const CommandRecord& record) {
    RendezvousBlock* block = Rendezvous();
    if (block == nullptr) return 0;
    const std::int32_t viewerWindow = block->viewerWindow;
    const std::int32_t clientWindow = block->clientWindow;
    return SendCommand(AsWindow(viewerWindow), AsWindow(clientWindow), code, &record, sizeof record);
}

int VSClient::CapturePicture(int channel, const RequestBlock* request) {
    CommandRecord record;
    if (!BuildCommandRecord(channel, request, record, IsSystemLeadByte)) {
        WriteOpLog(0, texts::kRequestRefused);
        return 0;
    }
    if (Rendezvous() == nullptr) return 0;
    WriteOpLog(0, texts::kSendingCapture);
    if (LastChannel.exchange(channel) != channel) {
        SendRequest(CMD_CAPTURE_PICTURE, ChannelOnlyRecord(channel));
        Sleep(kChannelSwitchWaitMs);
    }
    return SendRequest(CMD_CAPTURE_PICTURE, record) != 0 ? 1 : 0;
}

int VSClient::RequestRecordFile(int channel, const RequestBlock* request) {
    CommandRecord record;
    if (!BuildCommandRecord(channel, request, record, IsSystemLeadByte)) {
        WriteOpLog(0, texts::kRequestRefused);
        return 0;
    }
    return SendRequest(CMD_RECORD_FILE, record) != 0 ? 1 : 0;
}

}  // namespace nubix
