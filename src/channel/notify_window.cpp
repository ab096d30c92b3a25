#include "channel/notify_window.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "channel/inbound_result.h"
#include "channel/send_command.h"
#include "client/block_list.h"
#include "client/process_state.h"
#include "log/log_texts.h"
#include "log/logs.h"
#include "services/record_params.h"

namespace nubix {
namespace {

HINSTANCE HostInstance = nullptr;
char ClassName[32];

constexpr StatusBlock MakeStatus(std::uint16_t operation, int outcome) {
    return StatusBlock{operation, 0, outcome};
}

// Takes the posted result copy out of the queue's hands: the record is copied out
// and the copy freed. Returns false, touching nothing, for an address the window did
// not post itself.
bool TakeResultCopy(WPARAM wParam, LPARAM lParam, CommandRecord& record) {
    void* copy = reinterpret_cast<void*>(lParam);
    std::size_t size = 0;
    if (!ResultCopies.Contains(copy, &size)) return false;
    std::size_t wanted = static_cast<std::size_t>(wParam);
    record = ReadResultRecord(copy, wanted < size ? wanted : size);
    ResultCopies.Free(copy);
    return true;
}

void ReportFile(VSClient& client, const CommandRecord& record, std::uint16_t kind) {
    char fullPath[kFullPathBytes];
    std::size_t length = JoinResultPath(record, fullPath);
    client.InvokeCallback(record.channel, kind, record.tag, fullPath, static_cast<int>(length));
}

void OnPictureResult(VSClient* client, WPARAM wParam, LPARAM lParam) {
    CommandRecord record;
    if (!TakeResultCopy(wParam, lParam, record) || client == nullptr) return;
    const bool ok = PictureSucceeded(record);
    StatusBlock status = MakeStatus(STATUS_OP_PICTURE, ok ? 0 : -1);
    WriteOpLog(0, ok ? texts::kPictureOk : texts::kPictureFailed);
    client->InvokeCallback(record.channel, KIND_STATUS, record.tag, &status, sizeof status);
    if (ok) ReportFile(*client, record, KIND_PICTURE_FILE);
}

void OnRecordFileResult(VSClient* client, WPARAM wParam, LPARAM lParam) {
    CommandRecord record;
    if (!TakeResultCopy(wParam, lParam, record) || client == nullptr) return;
    const bool ok = RecordFileSucceeded(record);
    StatusBlock status = MakeStatus(STATUS_OP_RECORD_FILE, ok ? 0 : -1);
    client->InvokeCallback(record.channel, KIND_STATUS, record.tag, &status, sizeof status);
    if (ok) ReportFile(*client, record, KIND_RECORD_FILE);
}

void OnRestartServer(VSClient* client, LPARAM lParam) {
    if (client == nullptr) return;
    IVSClient& slots = *client;
    const bool ok = slots.RestartServer() != 0;
    StatusBlock status = MakeStatus(STATUS_OP_RESTART, ok ? 0 : -1);
    WriteOpLog(0, ok ? texts::kRestartOk : texts::kRestartFailed);
    client->InvokeCallback(-1, KIND_STATUS, static_cast<int>(lParam), &status, sizeof status);
}

void OnSetRecordParam(VSClient* client, WPARAM wParam, LPARAM lParam) {
    void* block = reinterpret_cast<void*>(lParam);
    std::size_t size = 0;
    if (client == nullptr || !HostBuffers.Contains(block, &size)) return;
    std::size_t length = static_cast<std::size_t>(wParam);
    RecordParamUpdate update;
    if (ReadRecordParamBlock(block, length < size ? length : size, update)) {
        RecordParams params;
        static_assert(sizeof params == sizeof update.params, "12 parameter bytes");
        std::memcpy(&params, update.params, sizeof params);
        IVSClient& slots = *client;
        slots.SetRecordParam(update.channel, &params);
        WriteOpLog(0, texts::kSetRecordParam);
    }
    HostBuffers.Free(block);
}

void OnOpenResult(VSClient* client, WPARAM wParam, LPARAM lParam) {
    if (client != nullptr) client->serverOpen = (wParam != 0 && lParam != 0) ? 1 : 0;
}

}  // namespace

HWND CreateNotifyWindow() {
    HostInstance = GetModuleHandleA(nullptr);
    std::snprintf(ClassName, sizeof ClassName, "%d", static_cast<int>(std::time(nullptr)));
    WNDCLASSA existing;
    if (!GetClassInfoA(HostInstance, ClassName, &existing)) {
        WNDCLASSA wc = {};
        wc.style = 0;
        wc.lpfnWndProc = NotifyWindowProc;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = 0;
        wc.hInstance = HostInstance;
        wc.lpszMenuName = "MainMenu";
        wc.lpszClassName = ClassName;
        if (RegisterClassA(&wc) == 0 && !GetClassInfoA(HostInstance, ClassName, &existing)) {
            return nullptr;
        }
    }
    return CreateWindowExA(0, ClassName, "Sample", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, HostInstance, nullptr);
}

void DestroyNotifyWindow(HWND window, HWND heir) {
    // A destroyed window's queued messages are never dispatched: their copies would
    // never be freed nor their results reported.
    MSG queued;
    while (PeekMessageA(&queued, window, MSG_PICTURE_RESULT, MSG_RECORD_FILE_RESULT, PM_REMOVE)) {
        void* copy = reinterpret_cast<void*>(queued.lParam);
        if (!ResultCopies.Contains(copy)) continue;
        if (heir == nullptr || !PostMessageA(heir, queued.message, queued.wParam, queued.lParam)) {
            ResultCopies.Free(copy);
        }
    }
    char name[sizeof ClassName] = {};
    const bool named = GetClassNameA(window, name, sizeof name) > 0;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    DestroyWindow(window);
    // Fails, harmlessly, while another window of the class still exists.
    if (named) UnregisterClassA(name, instance);
}

void HandleCopyData(VSClient* client, WPARAM, const COPYDATASTRUCT* copyData) {
    if (copyData == nullptr || client == nullptr) return;
    UINT post;
    if (copyData->dwData == CMD_CAPTURE_PICTURE) post = MSG_PICTURE_RESULT;
    else if (copyData->dwData == CMD_RECORD_FILE) post = MSG_RECORD_FILE_RESULT;
    else return;
    if (copyData->lpData == nullptr || copyData->cbData == 0) return;
    // A client made after the one this window serves has no window yet: a post to a
    // null window would become a thread message that no window procedure frees.
    if (client->notifyWindow == nullptr) return;

    void* copy = ResultCopies.Allocate(sizeof(CommandRecord));
    if (copy == nullptr) return;
    CommandRecord record = ReadResultRecord(copyData->lpData, copyData->cbData);
    std::memcpy(copy, &record, sizeof record);
    if (!PostMessageA(client->notifyWindow, post, sizeof(CommandRecord),
                      reinterpret_cast<LPARAM>(copy))) {
        ResultCopies.Free(copy);
    }
}

int HandleNotifyMessage(VSClient* client, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            HandleCopyData(client, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return 1;
        case WM_TIMER:
        case 2025:
        case 2029:
        case 2032:
            return 1;
        case MSG_RESTART_SERVER:
            OnRestartServer(client, lParam);
            return 1;
        case MSG_SET_RECORD_PARAM:
            OnSetRecordParam(client, wParam, lParam);
            return 1;
        case MSG_OPEN_RESULT:
            OnOpenResult(client, wParam, lParam);
            return 1;
        case MSG_PICTURE_RESULT:
            OnPictureResult(client, wParam, lParam);
            return 1;
        case MSG_RECORD_FILE_RESULT:
            OnRecordFileResult(client, wParam, lParam);
            return 1;
        default:
            return 0;
    }
}

LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // 0 means the number could not be registered; WM_NULL is not a re-open request.
    const UINT reopen = ReopenMessage();
    if (reopen != 0 && message == reopen) {
        if (VSClient* client = ActiveClient) ReopenOnWindowThread(*client, window);
        return 0;
    }
    if (HandleNotifyMessage(ActiveClient, message, wParam, lParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace nubix
