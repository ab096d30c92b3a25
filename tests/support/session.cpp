#include "support/session.h"

#include <cstring>

#include "channel/send_command.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"

namespace nubix::test {

std::vector<char> MakeRequest(int tag, const std::string& path) {
    const int total = static_cast<int>(8 + path.size() + 1);
    std::vector<char> block(static_cast<std::size_t>(total), '\0');
    std::memcpy(block.data(), &total, 4);
    std::memcpy(block.data() + 4, &tag, 4);
    std::memcpy(block.data() + 8, path.data(), path.size());
    return block;
}

CommandRecord RecordOf(const JournalEntry& command) {
    std::vector<std::uint8_t> bytes = command.Bytes();
    CommandRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, bytes.data(), bytes.size() < sizeof record ? bytes.size() : sizeof record);
    return record;
}

void ViewerSession::SetUp() {
    EndAllViewers();
    ClearLogs();
    CreateControlKey();
    Calls().clear();
    SetCommandTimeoutForTesting(5000);
    Script({});
}

void ViewerSession::TearDown() {
    if (client != nullptr) {
        client->CloseServer();
        kesaReleaseVSClient(client);
        client = nullptr;
    }
    EndAllViewers();
    SetCommandTimeoutForTesting(0);
    script.reset();
}

void ViewerSession::Script(const std::vector<std::string>& lines) {
    script.reset();
    script = std::make_unique<ViewerScript>(lines);
}

std::vector<JournalEntry> ViewerSession::Events(const std::string& event) const {
    return JournalEvents(script->JournalPath(), event);
}

std::vector<JournalEntry> ViewerSession::Commands(std::uint32_t code) const {
    std::vector<JournalEntry> matching;
    for (JournalEntry& e : Events("command")) {
        if (e.Number("code") == code) matching.push_back(std::move(e));
    }
    return matching;
}

IVSClient* ViewerSession::NewClient() {
    client = kesaCreateVSClient();
    client->SetCallback(Recorder());
    ClearLogs();
    return client;
}

int ViewerSession::Open(const char* address, const char* user, const char* password) {
    if (client == nullptr) NewClient();
    return client->OpenServer(address, 0x11111111, user, password, 0x22222222);
}

bool ViewerSession::WaitForCallbacks(std::size_t count, DWORD timeoutMs) {
    return PumpUntil([&] { return Calls().size() >= count; }, timeoutMs);
}

}  // namespace nubix::test
