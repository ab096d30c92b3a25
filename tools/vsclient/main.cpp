// vsclient: drives NubixVSClient.dll from a shell through nubix::Session, which opens
// the server on a thread of its own, runs the message loop there, receives every
// callback and closes the server again.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "NubixVSClient.h"
#include "NubixVSClientSession.hpp"
#include "command_line.h"
#include "output.h"

namespace {

using vsclient::Action;
using vsclient::ActionKind;
using Clock = std::chrono::steady_clock;

// The library bounds an open itself (the control's registration, the viewer's start,
// a 60 s command wait and one re-open); this only keeps vsclient from waiting forever.
constexpr std::chrono::minutes kOpenTimeout{5};

const char kNotTaken[] = "not taken: refused by the library or by the viewer (see c:\\nv.log)";

// A capture or record-file request whose outcome is not printed yet. Tags printed
// are the action's position.
struct Outstanding {
    int tag;
    const Action* action;
    std::future<nubix::RequestResult> result;
};

// Restarts are not requests of the session: their status reaches the session's
// handler with the tag vsclient posted.
class Restarts {
public:
    bool Post(nubix::Session& session, int tag, Clock::duration timeout) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_[tag] = Clock::now() + timeout;
        }
        bool posted = false;
        try {
            posted = session
                         .WithClient([tag](IVSClient& client) {
                             return PostMessageA(client.GetNotifyWindow(), MSG_RESTART_SERVER, 0,
                                                 static_cast<LPARAM>(tag)) != 0;
                         })
                         .get();
        } catch (const nubix::SessionClosedError&) {
        }
        if (!posted) {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.erase(tag);
        }
        return posted;
    }

    void Report(int tag, bool ok) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (waiting_.erase(tag) == 0) return;
            outcomes_[tag] = ok;
        }
        changed_.notify_all();
    }

    // Waits for every posted restart's status or its time-out; returns the tags of
    // those that had none in time, and whether every status said success.
    std::vector<int> Wait(bool& allOk) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::vector<int> late;
        while (!waiting_.empty()) {
            auto first = waiting_.begin();
            const int tag = first->first;
            const Clock::time_point deadline = first->second;
            if (!changed_.wait_until(lock, deadline, [&] { return waiting_.count(tag) == 0; })) {
                waiting_.erase(tag);
                late.push_back(tag);
            }
        }
        for (const auto& outcome : outcomes_) {
            if (!outcome.second) allOk = false;
        }
        return late;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Clock::time_point> waiting_;
    std::map<int, bool> outcomes_;
};

// Prints a request's outcome; false when it did not succeed. A request with no
// outcome in time goes to `late`, printed at the end.
bool PrintOutcome(const vsclient::Output& out, const Outstanding& request, const nubix::RequestResult& result,
                  std::vector<int>& late) {
    const bool picture = request.action->kind == ActionKind::Capture;
    const int channel = request.action->channel;
    const int operation = picture ? STATUS_OP_PICTURE : STATUS_OP_RECORD_FILE;
    switch (result.status) {
        case nubix::RequestStatus::Succeeded:
            out.Status(channel, request.tag, operation, 0);
            out.File(picture ? "picture" : "record", channel, request.tag, result.path);
            return true;
        case nubix::RequestStatus::ViewerFailed:
            out.Status(channel, request.tag, operation, -1);
            return false;
        case nubix::RequestStatus::NotTaken:
        case nubix::RequestStatus::Refused:
            out.Note("refused", request.tag, kNotTaken);
            return false;
        case nubix::RequestStatus::TimedOut:
        case nubix::RequestStatus::Closed:
            late.push_back(request.tag);
            return false;
    }
    return false;
}

// Prints the outcomes that are in, in the order of the actions; with `wait`, until
// every outcome is in (each request has its own time-out, so this ends).
bool PrintOutcomes(const vsclient::Output& out, std::vector<Outstanding>& outstanding, std::vector<int>& late,
                   bool wait) {
    bool ok = true;
    for (;;) {
        for (auto it = outstanding.begin(); it != outstanding.end();) {
            if (it->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                ++it;
                continue;
            }
            if (!PrintOutcome(out, *it, it->result.get(), late)) ok = false;
            it = outstanding.erase(it);
        }
        if (!wait || outstanding.empty()) return ok;
        outstanding.front().result.wait_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vsclient::CommandLine cl;
    std::string error;
    if (!vsclient::ParseCommandLine(args, cl, error)) {
        std::fprintf(stderr, "vsclient: %s\n\n%s", error.c_str(), vsclient::kUsage);
        return 2;
    }
    if (cl.help) {
        std::fputs(vsclient::kUsage, stdout);
        return 0;
    }
    const vsclient::Output output(cl.json);
    Restarts restarts;
    // Callbacks of no request of the session's: the restart statuses, and anything else.
    nubix::Session session([&](int channel, unsigned short kind, int tag, const void* data, int length) {
        if (kind == KIND_STATUS && length == static_cast<int>(sizeof(StatusBlock)) && data != nullptr) {
            StatusBlock status;
            std::memcpy(&status, data, sizeof status);
            output.Status(channel, tag, status.operation, status.outcome);
            if (status.operation == STATUS_OP_RESTART) restarts.Report(tag, status.outcome == 0);
        } else if ((kind == KIND_PICTURE_FILE || kind == KIND_RECORD_FILE) && data != nullptr) {
            output.File(kind == KIND_PICTURE_FILE ? "picture" : "record", channel, tag,
                        std::string(static_cast<const char*>(data), length > 0 ? static_cast<std::size_t>(length) : 0));
        } else {
            output.Callback(channel, kind, tag, length);
        }
    });
    if (session.Open(cl.server, cl.user, cl.password, kOpenTimeout) != nubix::OpenStatus::Opened) {
        std::fprintf(stderr, "vsclient: the server could not be opened (see c:\\nv.log and c:\\vs.log)\n");
        return 2;
    }
    output.Note("open", 0, cl.server);

    const std::chrono::seconds timeout(cl.timeoutSeconds);
    std::vector<Outstanding> outstanding;
    std::vector<int> late;
    bool failed = false;
    int tag = 0;
    for (const Action& action : cl.actions) {
        ++tag;
        switch (action.kind) {
            case ActionKind::Capture:
                outstanding.push_back({tag, &action, session.CapturePictureAsync(action.channel, action.path, timeout)});
                break;
            case ActionKind::Record:
                outstanding.push_back(
                    {tag, &action, session.RequestRecordFileAsync(action.channel, action.path, timeout)});
                break;
            case ActionKind::Mac: {
                const std::optional<std::string> mac = session.ServerMac();
                output.Mac(mac.has_value(), mac.value_or(std::string()));
                if (!mac) failed = true;
                break;
            }
            case ActionKind::Params: {
                RecordParams params;
                std::memcpy(params.bytes, action.params.data(), sizeof params.bytes);
                if (session.SetRecordParams(action.channel, params)) {
                    output.Note("params", tag, "posted for channel " + std::to_string(action.channel));
                } else {
                    failed = true;
                }
                break;
            }
            case ActionKind::Restart:
                if (!restarts.Post(session, tag, timeout)) failed = true;
                break;
        }
        // Outcomes that are already in are printed between actions.
        if (!PrintOutcomes(output, outstanding, late, false)) failed = true;
    }
    if (!PrintOutcomes(output, outstanding, late, true)) failed = true;
    bool restartsOk = true;
    for (int t : restarts.Wait(restartsOk)) late.push_back(t);
    if (!restartsOk) failed = true;
    std::sort(late.begin(), late.end());
    for (int t : late) {
        output.Note("timeout", t, "no outcome in time");
        failed = true;
    }
    session.Close();
    output.Note("closed", 0, failed ? "some requests failed" : "every request succeeded");
    return failed ? 1 : 0;
}
