// Fault matrix, messages from outside: another process (tests/fault/poster.cpp)
// throws every message number of the notification window's table at it with random
// parameters, WM_COPYDATA of every code and size, and floods it with more results
// than a thread's message queue holds. The host must not crash, must neither read
// nor free an address it did not hand out, must call back only for real results,
// and must leak no result copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "client/block_list.h"
#include "fault/copydata_cases.h"
#include "fault/fault_session.h"
#include "fault/resource_counts.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"
#include "support/session.h"

namespace nubix::test {
namespace {

using fault::CountResources;

constexpr std::uint32_t kSeed = 20070530;

std::map<std::string, unsigned long long> ReadReport(const std::string& path) {
    std::map<std::string, unsigned long long> report;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return report;
    char key[64];
    unsigned long long value;
    while (std::fscanf(f, " %63[^=]=%llu", key, &value) == 2) report[key] = value;
    std::fclose(f);
    return report;
}

// The text a result's file callback carries: directory and fileName, each within
// its field, cut to 259 bytes.
std::string JoinedPath(const CommandRecord& r) {
    const std::string directory(r.directory, strnlen(r.directory, sizeof r.directory));
    const std::string fileName(r.fileName, strnlen(r.fileName, sizeof r.fileName));
    return (directory + fileName).substr(0, 259);
}

// An open session whose window another process targets.
class MessagesFromOutside : public fault::FaultSession {
protected:
    void SetUp() override {
        FaultSession::SetUp();
        Script({"write_files=0"});
        ASSERT_EQ(Open(), 1);
        ClearLogs();
        Calls().clear();
        report = HostPath("poster-report.txt");
        DeleteFileA(report.c_str());
    }

    // Runs poster.exe against the notification window; this thread dispatches its
    // messages meanwhile (all of them, or only the sent ones).
    long RunPoster(const std::string& mode, unsigned long number, bool sentOnly = false) {
        const std::string line = "\"" + HostPath("poster.exe") + "\" " + mode + " " +
                                 std::to_string(reinterpret_cast<INT_PTR>(client->GetNotifyWindow())) + " " +
                                 std::to_string(number) + " \"" + report + "\"";
        HANDLE process = fault::StartProcess(line);
        if (process == nullptr) return -2;
        const long code = sentOnly ? fault::HandleSentUntilExit(process, 120000)
                                   : fault::PumpUntilExit(process, 120000);
        CloseHandle(process);
        return code;
    }

    // Nothing of the library's left behind, and the session still serves requests.
    void ExpectIntactAndWorking() {
        ExpectNothingLeft(1, 1);
        const std::uint8_t zero[sizeof(RecordParams)] = {};
        for (int channel = 0; channel < Impl()->channelCount; ++channel) {
            ASSERT_EQ(std::memcmp(&Impl()->RecordParamTable[channel], zero, sizeof zero), 0) << channel;
        }
        Calls().clear();
        std::vector<char> request = MakeRequest(9090, "C:\\after\\ok.rec");
        EXPECT_EQ(client->RequestRecordFile(5, AsRequest(request)), 1);
        ASSERT_TRUE(WaitForCallbacks(2));
        EXPECT_EQ(Calls(), (std::vector<CallbackCall>{StatusCall(5, 9090, STATUS_OP_RECORD_FILE, 0),
                                                      FileCall(5, KIND_RECORD_FILE, 9090, "C:\\after\\ok.rec")}));
    }

    std::string report;
};

TEST_F(MessagesFromOutside, EveryTableNumberWithRandomParametersCallsBackOnlyForRestarts) {
    ASSERT_EQ(RunPoster("messages", kSeed), 0);
    PumpFor(100);
    std::map<std::string, unsigned long long> r = ReadReport(report);
    // WM_COPYDATA cannot be posted: the system refuses it. Everything else arrived.
    EXPECT_EQ(r["delivered.74"], 0u);
    for (const char* number : {"275", "2025", "2027", "2029", "2030", "2032", "2033", "2034", "2035", "2036", "2037"}) {
        EXPECT_EQ(r[std::string("refused.") + number], 0u) << number;
        EXPECT_EQ(r[std::string("delivered.") + number], 330u) << number;
    }
    // Each restart request is answered with its status, whatever its parameters;
    // nothing else calls back, and the random addresses of 2030, 2036 and 2037 are
    // neither read nor freed.
    const unsigned long long restarts = r["delivered.2027"];
    ASSERT_EQ(Calls().size(), restarts);
    for (const CallbackCall& call : Calls()) {
        EXPECT_EQ(call.channel, -1);
        EXPECT_EQ(call.kind, static_cast<std::uint32_t>(KIND_STATUS));
        EXPECT_EQ(call.Status().operation, STATUS_OP_RESTART);
        EXPECT_EQ(call.Status().outcome, -1);
    }
    const std::vector<std::string> texts = OpLogTexts();
    EXPECT_EQ(texts.size(), restarts);
    for (const std::string& text : texts) EXPECT_EQ(text, "重启服务器失败");
    ExpectIntactAndWorking();
}

TEST_F(MessagesFromOutside, CopyDataOfEveryCodeAndSizeReportsExactlyTheResults) {
    ASSERT_EQ(RunPoster("copydata", kSeed), 0);
    PumpFor(100);
    const std::vector<fault::CopyDataCase> cases = fault::MakeCopyDataCases(kSeed);
    std::map<std::string, unsigned long long> r = ReadReport(report);
    EXPECT_EQ(r["sent"], cases.size());
    EXPECT_EQ(r["answered_nonzero"], 0u);

    // Codes 2 and 3 with data are results: the record is what arrived, completed
    // with zeros or cut to 336 bytes. Every other code and empty data give nothing.
    std::vector<CallbackCall> expected;
    std::vector<std::string> expectedLog;
    for (const fault::CopyDataCase& c : cases) {
        if ((c.code != CMD_CAPTURE_PICTURE && c.code != CMD_RECORD_FILE) || c.data.empty()) continue;
        CommandRecord record;
        std::memset(&record, 0, sizeof record);
        std::memcpy(&record, c.data.data(), c.data.size() < sizeof record ? c.data.size() : sizeof record);
        if (c.code == CMD_CAPTURE_PICTURE) {
            const bool ok = record.result == 1;
            expected.push_back(StatusCall(record.channel, record.tag, STATUS_OP_PICTURE, ok ? 0 : -1));
            if (ok) expected.push_back(FileCall(record.channel, KIND_PICTURE_FILE, record.tag, JoinedPath(record)));
            expectedLog.push_back(ok ? "截图成功" : "截图失败");
        } else {
            const bool ok = record.result != 0;
            expected.push_back(StatusCall(record.channel, record.tag, STATUS_OP_RECORD_FILE, ok ? 0 : -1));
            if (ok) expected.push_back(FileCall(record.channel, KIND_RECORD_FILE, record.tag, JoinedPath(record)));
        }
    }
    EXPECT_EQ(Calls(), expected);
    // The picture lines are GBK text; compare them after decoding, as written.
    EXPECT_EQ(OpLogTexts(), expectedLog);
    ExpectIntactAndWorking();
}

// The window posts each result to itself. Handling only sent messages while another
// process sends 12,000 results leaves them all queued at once: beyond the queue's
// limit (10,000 posted messages a thread on Windows) the post fails and the library
// frees the copy at once. Every copy that got posted is reported, none is leaked.
TEST_F(MessagesFromOutside, FloodOfMoreResultsThanTheQueueHoldsLeaksNoCopy) {
    constexpr unsigned long kResults = 12000;
    ASSERT_EQ(RunPoster("results", kResults, /*sentOnly=*/true), 0);
    EXPECT_EQ(ReadReport(report)["sent"], kResults);
    const std::size_t posted = ResultCopies.Count();
    std::printf("[ flood    ] %lu results sent, %zu copies posted and waiting, %lu dropped by the queue\n", kResults,
                posted, kResults - static_cast<unsigned long>(posted));
    EXPECT_GT(posted, 0u);
    EXPECT_LE(posted, kResults);

    ASSERT_TRUE(WaitForCallbacks(2 * posted, 120000));
    PumpFor(100);
    ASSERT_EQ(Calls().size(), 2 * posted);
    // In order, status then file, for the results that were posted.
    int previousTag = -1;
    for (std::size_t i = 0; i < Calls().size(); i += 2) {
        const CallbackCall& status = Calls()[i];
        const int tag = status.tag;
        EXPECT_GT(tag, previousTag);
        previousTag = tag;
        EXPECT_EQ(status, StatusCall(tag % 255, tag, STATUS_OP_RECORD_FILE, 0));
        EXPECT_EQ(Calls()[i + 1], FileCall(tag % 255, KIND_RECORD_FILE, tag, "C:\\flood\\r" + std::to_string(tag) + ".rec"));
    }
    ExpectIntactAndWorking();
}

// The same flood from the viewer simulator itself, while the host dispatches as it
// should: every one of the 12,000 results of one request reaches the callback.
using ViewerFlood = fault::FaultSession;

TEST_F(ViewerFlood, BurstOf12000ResultsIsReportedWhole) {
    constexpr int kBurst = 12000;
    Script({"burst=" + std::to_string(kBurst), "write_files=0"});
    ASSERT_EQ(Open(), 1);
    ClearLogs();
    Calls().clear();
    std::vector<char> request = MakeRequest(77, "C:\\burst\\b.rec");
    ASSERT_EQ(client->RequestRecordFile(3, AsRequest(request)), 1);
    ASSERT_TRUE(WaitForCallbacks(2 * kBurst, 120000));
    PumpFor(200);
    ASSERT_EQ(Calls().size(), 2u * kBurst);
    for (std::size_t i = 0; i < Calls().size(); i += 2) {
        ASSERT_EQ(Calls()[i], StatusCall(3, 77, STATUS_OP_RECORD_FILE, 0)) << i;
        ASSERT_EQ(Calls()[i + 1], FileCall(3, KIND_RECORD_FILE, 77, "C:\\burst\\b.rec")) << i;
    }
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"发送命令到控件窗口成功！"}));
    ExpectNothingLeft(1, 1);
}

}  // namespace
}  // namespace nubix::test
