// Results of capture and record-file commands, sent back to the host after the
// command has been answered: never from inside the command's own WM_COPYDATA, so
// that the host's send has returned before its result arrives, as with the real
// viewer. Each pending result waits for a posted message, or for a timer when the
// script asks for a delay, and is then produced and sent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

#include "channel/command_record.h"
#include "journal_file.h"
#include "viewer_script.h"

namespace quil {

// Posted to the viewer's own window; wParam is the pending result's id.
constexpr UINT WM_QUIL_DELIVER = WM_APP + 1;

class ResultDelivery {
public:
    ResultDelivery(const ViewerSettings& settings, const JournalFile& journal)
        : settings_(settings), journal_(journal) {}

    void SetViewerWindow(HWND window) { viewerWindow_ = window; }

    // Queues the result of a taken command for `notifyWindow`.
    void Schedule(std::uint32_t code, HWND notifyWindow, const nubix::CommandRecord& command);

    // Produces and sends the pending result `id`; unknown ids are ignored.
    void Deliver(UINT_PTR id);

private:
    struct Pending {
        std::uint32_t code;
        HWND notifyWindow;
        nubix::CommandRecord record;
    };

    // The file the command asks for, and the result value to report.
    std::int32_t Produce(const Pending& pending) const;
    void Send(const Pending& pending) const;

    const ViewerSettings& settings_;
    const JournalFile& journal_;
    HWND viewerWindow_ = nullptr;
    std::map<UINT_PTR, Pending> pending_;
    UINT_PTR nextId_ = 1;
};

}  // namespace quil
