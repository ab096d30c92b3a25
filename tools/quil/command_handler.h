// The viewer's handling of one WM_COPYDATA command from the host: journal it, let
// the script hang or end the process, send the open result, queue the result of a
// capture or record file, and give the answer.
#pragma once

#include <windows.h>

#include "command_policy.h"
#include "journal_file.h"
#include "result_delivery.h"
#include "viewer_script.h"

namespace quil {

class CommandHandler {
public:
    CommandHandler(const ViewerSettings& settings, const JournalFile& journal, ResultDelivery& delivery)
        : settings_(settings), journal_(journal), delivery_(delivery), policy_(settings) {}

    // The answer to the command: 1 taken, 0 not.
    LRESULT Handle(HWND notifyWindow, const COPYDATASTRUCT& copyData);

private:
    int HandleOpen(HWND notifyWindow, const CommandVerdict& verdict) const;
    int HandleRequest(HWND notifyWindow, const COPYDATASTRUCT& copyData, const CommandVerdict& verdict);

    const ViewerSettings& settings_;
    const JournalFile& journal_;
    ResultDelivery& delivery_;
    CommandPolicy policy_;
};

}  // namespace quil
