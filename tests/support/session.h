// A fixture for tests that open the server against the viewer simulator.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NubixVSClient.h"
#include "channel/command_record.h"
#include "client/vs_client.h"
#include "support/host_dir.h"

namespace nubix::test {

// A RequestBlock holding `path` and its zero, `totalLength` exact.
std::vector<char> MakeRequest(int tag, const std::string& path);
inline const RequestBlock* AsRequest(const std::vector<char>& block) {
    return reinterpret_cast<const RequestBlock*>(block.data());
}

// The CommandRecord a journal "command" line carries.
CommandRecord RecordOf(const JournalEntry& command);

class ViewerSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Scripts the viewers that the next opens start; the journal starts empty.
    void Script(const std::vector<std::string>& lines);
    std::vector<JournalEntry> Events(const std::string& event) const;
    // The "command" lines with the given code.
    std::vector<JournalEntry> Commands(std::uint32_t code) const;

    IVSClient* NewClient();
    int Open(const char* address = "192.168.1.20", const char* user = "admin",
             const char* password = "secret");
    VSClient* Impl() const { return static_cast<VSClient*>(client); }

    // Dispatches messages until `count` callbacks have arrived.
    bool WaitForCallbacks(std::size_t count, DWORD timeoutMs = 10000);

    IVSClient* client = nullptr;
    std::unique_ptr<ViewerScript> script;
};

}  // namespace nubix::test
