#include "result_delivery.h"

#include <string>

#include "journal_lines.h"
#include "output_files.h"
#include "record_path.h"
#include "send_bound.h"

namespace quil {
namespace {

// The performance counter is one clock for every process of the system, so a host
// that reads it when the result reaches it learns how long the delivery took. The
// tag is the one field that reaches the host's callback unchanged: it carries the
// low 32 bits, which are enough for any difference shorter than the wrap.
std::int32_t SendStamp() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now.QuadPart));
}

}  // namespace

void ResultDelivery::Schedule(std::uint32_t code, HWND notifyWindow, const nubix::CommandRecord& command) {
    const UINT_PTR id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    pending_[id] = Pending{code, notifyWindow, command};
    bool queued;
    if (settings_.resultDelayMs > 0 && !settings_.fast) {
        // A timer, not Sleep: the viewer keeps taking commands while it waits.
        queued = SetTimer(viewerWindow_, id, static_cast<UINT>(settings_.resultDelayMs), nullptr) != 0;
    } else {
        queued = PostMessageA(viewerWindow_, WM_QUIL_DELIVER, id, 0) != 0;
    }
    if (!queued) pending_.erase(id);
}

void ResultDelivery::Deliver(UINT_PTR id) {
    auto it = pending_.find(id);
    if (it == pending_.end()) return;
    // Out of the table before sending: the host may send us new commands while it
    // handles the result.
    Pending pending = it->second;
    pending_.erase(it);
    pending.record.result = Produce(pending);
    const int copies = pending.code == nubix::CMD_RECORD_FILE ? settings_.burst : 1;
    for (int i = 0; i < copies; ++i) Send(pending);
}

std::int32_t ResultDelivery::Produce(const Pending& pending) const {
    const bool picture = pending.code == nubix::CMD_CAPTURE_PICTURE;
    const std::int32_t scripted = picture ? settings_.pictureResult : settings_.recordResult;
    if (!settings_.writeFiles) return scripted;
    const std::string path = JoinedPath(pending.record);
    const bool written = picture ? WritePictureFile(path.c_str(), pending.record.channel)
                                 : WriteRecordFile(path.c_str(), pending.record.channel, pending.record.tag);
    return written ? scripted : 0;
}

void ResultDelivery::Send(const Pending& pending) const {
    journal_.Write(ResultLine(pending.code, pending.record));
    nubix::CommandRecord record = pending.record;
    if (settings_.stamp) record.tag = SendStamp();
    COPYDATASTRUCT copyData;
    copyData.dwData = pending.code;
    copyData.cbData = sizeof record;
    copyData.lpData = &record;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(pending.notifyWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(viewerWindow_),
                        reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL, kSendBoundMs, &ignored);
}

}  // namespace quil
