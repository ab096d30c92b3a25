// vsclient: drives NubixVSClient.dll from a shell, the way a careful host does.
// The thread that opens the server runs the message loop, receives every callback
// and closes the server again.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "NubixVSClient.h"
#include "command_line.h"
#include "output.h"

namespace {

using vsclient::Action;
using vsclient::ActionKind;

struct Pending {
    bool done = false;
    bool ok = false;
};

const vsclient::Output* Out = nullptr;
std::map<int, Pending>* Outcomes = nullptr;

int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length) {
    if (kind == KIND_STATUS && length == static_cast<int>(sizeof(StatusBlock))) {
        StatusBlock status;
        std::memcpy(&status, data, sizeof status);
        Out->Status(channel, tag, status.operation, status.outcome);
        auto it = Outcomes->find(tag);
        if (it != Outcomes->end() && !it->second.done) {
            it->second.done = true;
            it->second.ok = status.outcome == 0;
        }
    } else if ((kind == KIND_PICTURE_FILE || kind == KIND_RECORD_FILE) && data != nullptr) {
        std::string path(static_cast<const char*>(data), length > 0 ? static_cast<std::size_t>(length) : 0);
        Out->File(kind == KIND_PICTURE_FILE ? "picture" : "record", channel, tag, path);
    } else {
        Out->Callback(channel, kind, tag, length);
    }
    return 0;
}

std::vector<char> MakeRequest(int tag, const std::string& path) {
    const int total = static_cast<int>(8 + path.size() + 1);
    std::vector<char> block(static_cast<std::size_t>(total), '\0');
    std::memcpy(block.data(), &total, 4);
    std::memcpy(block.data() + 4, &tag, 4);
    std::memcpy(block.data() + 8, path.data(), path.size());
    return block;
}

// Runs one action; returns false when it failed at once. Tags are the action's
// position, so that each outcome can be matched to its request.
bool Run(IVSClient* client, const Action& action, int tag, std::map<int, Pending>& outcomes) {
    switch (action.kind) {
        case ActionKind::Capture:
        case ActionKind::Record: {
            std::vector<char> request = MakeRequest(tag, action.path);
            const RequestBlock* block = reinterpret_cast<const RequestBlock*>(request.data());
            outcomes[tag] = Pending();
            const int taken = action.kind == ActionKind::Capture ? client->CapturePicture(action.channel, block)
                                                                 : client->RequestRecordFile(action.channel, block);
            if (!taken) {
                outcomes.erase(tag);
                Out->Note("refused", tag, "not taken: refused by the library or by the viewer (see c:\\nv.log)");
            }
            return taken != 0;
        }
        case ActionKind::Mac: {
            char text[32] = {};
            const bool found = client->GetServerMac(text, sizeof text) != 0;
            Out->Mac(found, text);
            return found;
        }
        case ActionKind::Params: {
            auto* block = static_cast<RecordParamBlock*>(kesaNewBuffer(sizeof(RecordParamBlock)));
            if (block == nullptr) return false;
            block->channel = action.channel;
            block->unused = 0;
            std::memcpy(&block->params, action.params.data(), sizeof block->params);
            // The library frees the block once it has read it.
            if (!PostMessageA(client->GetNotifyWindow(), MSG_SET_RECORD_PARAM, sizeof *block,
                              reinterpret_cast<LPARAM>(block))) {
                kesaDelBuffer(block);
                return false;
            }
            Out->Note("params", tag, "posted for channel " + std::to_string(action.channel));
            return true;
        }
        case ActionKind::Restart:
            outcomes[tag] = Pending();
            if (!PostMessageA(client->GetNotifyWindow(), MSG_RESTART_SERVER, 0, tag)) {
                outcomes.erase(tag);
                return false;
            }
            return true;
    }
    return false;
}

bool AllDone(const std::map<int, Pending>& outcomes) {
    for (const auto& [tag, p] : outcomes) {
        if (!p.done) return false;
    }
    return true;
}

// Dispatches messages until every outcome is in or the time-out passes.
void WaitForOutcomes(const std::map<int, Pending>& outcomes, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (AllDone(outcomes)) return;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        const ULONGLONG left = deadline - now;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left < 100 ? left : 100), QS_ALLINPUT);
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
    vsclient::Output output(cl.json);
    std::map<int, Pending> outcomes;
    Out = &output;
    Outcomes = &outcomes;

    IVSClient* client = kesaCreateVSClient();
    if (client == nullptr) {
        std::fprintf(stderr, "vsclient: no memory for a client\n");
        return 2;
    }
    client->SetCallback(OnResult);
    if (client->OpenServer(cl.server.c_str(), 0, cl.user.c_str(), cl.password.c_str(), 0) == 0) {
        std::fprintf(stderr, "vsclient: the server could not be opened (see c:\\nv.log and c:\\vs.log)\n");
        client->CloseServer();
        kesaReleaseVSClient(client);
        return 2;
    }
    output.Note("open", 0, cl.server);

    bool failed = false;
    int tag = 0;
    for (const Action& action : cl.actions) {
        if (!Run(client, action, ++tag, outcomes)) failed = true;
        // Let results that are already back reach the callback between actions.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    WaitForOutcomes(outcomes, static_cast<DWORD>(cl.timeoutSeconds) * 1000);
    for (const auto& [t, p] : outcomes) {
        if (!p.done) {
            output.Note("timeout", t, "no outcome in time");
            failed = true;
        } else if (!p.ok) {
            failed = true;
        }
    }
    client->CloseServer();
    kesaReleaseVSClient(client);
    output.Note("closed", 0, failed ? "some requests failed" : "every request succeeded");
    return failed ? 1 : 0;
}
