#include "command_handler.h"

#include <cstdint>
#include <cstring>

#include "NubixVSClient.h"
#include "channel/command_record.h"
#include "journal_lines.h"
#include "record_path.h"
#include "send_bound.h"

namespace quil {
namespace {

constexpr int kExitCodeScripted = 3;

}  // namespace

LRESULT CommandHandler::Handle(HWND notifyWindow, const COPYDATASTRUCT& copyData) {
    const std::uint32_t code = static_cast<std::uint32_t>(copyData.dwData);
    journal_.Write(CommandLine(code, copyData.cbData,
                               HandleToLong(notifyWindow), copyData.lpData));

    const CommandVerdict verdict = policy_.Receive(code);
    if (verdict.fate == Fate::Exit) ExitProcess(kExitCodeScripted);
    if (verdict.fate == Fate::Hang) {
        // A viewer stuck inside the control: the host's send never returns.
        for (;;) Sleep(INFINITE);
    }

    int answer = 0;
    if (verdict.kind == CommandKind::Open) answer = HandleOpen(notifyWindow, verdict);
    else if (verdict.kind != CommandKind::None) answer = HandleRequest(notifyWindow, copyData, verdict);
    journal_.Write(AnswerLine(code, answer));
    return answer;
}

int CommandHandler::HandleOpen(HWND notifyWindow, const CommandVerdict& verdict) const {
    if (settings_.openResult != OpenResult::None) {
        // Sent, not posted: the library reads the outcome the moment its open command
        // returns, so the result must be in before the answer.
        const LPARAM success = settings_.openResult == OpenResult::Success ? 1 : 0;
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(notifyWindow, MSG_OPEN_RESULT, 1, success, SMTO_NORMAL, kSendBoundMs, &ignored);
    }
    return policy_.Accepts(verdict) ? 1 : 0;
}

int CommandHandler::HandleRequest(HWND notifyWindow, const COPYDATASTRUCT& copyData,
                                  const CommandVerdict& verdict) {
    if (!policy_.Accepts(verdict)) return 0;
    // A short record is completed with zeros; anything past 336 bytes is not ours.
    nubix::CommandRecord record;
    std::memset(&record, 0, sizeof record);
    if (copyData.lpData != nullptr) {
        const std::size_t size = copyData.cbData < sizeof record ? copyData.cbData : sizeof record;
        std::memcpy(&record, copyData.lpData, size);
    }
    const std::uint32_t code = static_cast<std::uint32_t>(copyData.dwData);
    if (code == nubix::CMD_CAPTURE_PICTURE && IsChannelSwitch(record)) return 1;
    if (settings_.sendResults) delivery_.Schedule(code, notifyWindow, record);
    return 1;
}

}  // namespace quil
