// Fault matrix, the viewer: the viewer simulator exits or hangs in the middle of a
// command, is killed between requests, publishes no mapping or a zero handle,
// answers the open command without its open result; results are in flight when the
// session is re-opened or the client superseded. Each case checks what the
// operation returned, the operation log, the callbacks, and that nothing leaked.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "channel/send_command.h"
#include "client/block_list.h"
#include "client/process_state.h"
#include "fault/fault_session.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"

namespace nubix::fault {
namespace {

using test::CallbackCall;
using test::Calls;
using test::FileCall;
using test::PumpFor;
using test::StatusCall;

// The lines of a command the viewer did not take, and of the re-open that follows.
const std::vector<std::string> kFailedAndReopened = {
    "发送命令到控件窗口失败！", "尝试再打开服务器", "由于句柄不为空先关闭服务器", "尝试创建窗口", "<report>",
    "发送命令到控件窗口成功！"};

std::vector<std::string> WithPictureLine(bool picture, std::vector<std::string> lines) {
    if (picture) lines.insert(lines.begin(), "发送截图命令！");
    return lines;
}

std::vector<CallbackCall> Reported(bool picture, int tag) {
    const std::string path = "C:\\faults\\" + std::to_string(tag) + (picture ? ".bmp" : ".rec");
    return {StatusCall(0, tag, picture ? STATUS_OP_PICTURE : STATUS_OP_RECORD_FILE, 0),
            FileCall(0, picture ? KIND_PICTURE_FILE : KIND_RECORD_FILE, tag, path)};
}

void KillViewer() {
    HWND viewer = FindWindowA(nullptr, "QUIL");
    ASSERT_NE(viewer, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(TerminateProcess(process, 9));
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
    ASSERT_TRUE(test::PumpUntil([&] { return !IsWindow(viewer); }));
}

struct MidCommandFault {
    const char* name;
    const char* scriptLine;  // for the first viewer only
    bool picture;
};

class ViewerStopsMidCommand : public FaultSession, public ::testing::WithParamInterface<MidCommandFault> {};

// The command is lost: the operation returns 0, the session is re-opened with a new
// viewer, no callback comes for the lost request, and the next request is served.
TEST_P(ViewerStopsMidCommand, RequestFailsReopensAndTheNextOneIsServed) {
    const MidCommandFault& c = GetParam();
    Script({c.scriptLine, "write_files=0"});
    ASSERT_EQ(Open(), 1);
    test::ClearLogs();
    Calls().clear();
    SetCommandTimeoutForTesting(300);

    EXPECT_EQ(Request(c.picture, 11), 0);
    EXPECT_EQ(OpLogShape(), WithPictureLine(c.picture, kFailedAndReopened));
    EXPECT_EQ(Events("start").size(), 2u);
    PumpFor(200);
    EXPECT_TRUE(Calls().empty());

    test::ClearLogs();
    EXPECT_EQ(Request(c.picture, 12), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    EXPECT_EQ(Calls(), Reported(c.picture, 12));
    ExpectNothingLeft(1, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ViewerStopsMidCommand,
    ::testing::Values(MidCommandFault{"ExitsOnCapture", "1.exit=capture", true},
                      MidCommandFault{"ExitsOnRecordFile", "1.exit=record", false},
                      MidCommandFault{"HangsOnCapture", "1.hang=capture", true},
                      MidCommandFault{"HangsOnRecordFile", "1.hang=record", false}),
    [](const ::testing::TestParamInfo<MidCommandFault>& info) { return std::string(info.param.name); });

using ViewerFaults = FaultSession;

TEST_F(ViewerFaults, ViewerKilledBetweenRequestsIsStartedAgainByTheNextRequest) {
    Script({"write_files=0"});
    ASSERT_EQ(Open(), 1);
    Calls().clear();
    ASSERT_EQ(Request(false, 21), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    KillViewer();

    test::ClearLogs();
    Calls().clear();
    EXPECT_EQ(Request(false, 22), 0);
    EXPECT_EQ(OpLogShape(), kFailedAndReopened);
    EXPECT_EQ(Events("start").size(), 2u);
    EXPECT_EQ(Request(false, 23), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    EXPECT_EQ(Calls(), Reported(false, 23));
    ExpectNothingLeft(1, 1);
}

// The failed request comes from another thread than the one that opened the
// server and owns the notification window: the re-open is handed to the owner,
// which alone can replace the window, and the session goes on serving both threads.
TEST_F(ViewerFaults, ViewerKilledWhileAnotherThreadRequestsIsReopenedOnTheOpeningThread) {
    Script({"write_files=0"});
    ASSERT_EQ(Open(), 1);
    HWND first = client->GetNotifyWindow();
    KillViewer();
    test::ClearLogs();
    Calls().clear();

    int fromWorker = -1;
    std::thread([&] { fromWorker = Request(false, 25); }).join();
    EXPECT_EQ(fromWorker, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return Events("start").size() == 2 && !IsWindow(first); }));
    HWND second = client->GetNotifyWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(second, nullptr), GetCurrentThreadId());
    EXPECT_EQ(OpLogShape(), kFailedAndReopened);

    std::thread([&] { fromWorker = Request(false, 26); }).join();
    EXPECT_EQ(fromWorker, 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    EXPECT_EQ(Calls(), Reported(false, 26));
    ExpectNothingLeft(1, 1);
}

TEST_F(ViewerFaults, NoMappingLeavesTheOpenWithoutRendezvousAndRequestsSendNothing) {
    Script({"mapping=skip"});
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_TRUE(test::OpLogTexts().empty());
    EXPECT_TRUE(Commands(CMD_OPEN_SERVER).empty());
    EXPECT_EQ(Rendezvous(), nullptr);
    EXPECT_EQ(Impl()->RecordParamTable, nullptr);
    EXPECT_EQ(Request(false, 31), 0);
    EXPECT_EQ(Request(true, 32), 0);
    EXPECT_TRUE(Commands(CMD_RECORD_FILE).empty());
    EXPECT_TRUE(Commands(CMD_CAPTURE_PICTURE).empty());
    EXPECT_EQ(Events("start").size(), 1u);
    // Half open: the window stays until the close.
    ExpectNothingLeft(0, 1);
    client->CloseServer();
    ExpectNothingLeft(0, 0);
}

TEST_F(ViewerFaults, ZeroHandleGetsNoOpenCommandAndEachRequestReopensOnce) {
    Script({"handle=zero"});
    NewClient();
    EXPECT_EQ(Open(), 0);
    const std::vector<std::string> report = test::OpLogTexts();
    ASSERT_EQ(report.size(), 1u);
    EXPECT_NE(report[0].find("窗口句柄0DLL句柄"), std::string::npos) << report[0];
    EXPECT_TRUE(Commands(CMD_OPEN_SERVER).empty());

    test::ClearLogs();
    EXPECT_EQ(Request(false, 41), 0);
    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{"发送命令到控件窗口失败！", "尝试再打开服务器",
                                                      "由于句柄不为空先关闭服务器", "尝试创建窗口", "<report>",
                                                      "打开服务器失败！"}));
    EXPECT_EQ(Events("start").size(), 2u);
    EXPECT_TRUE(Calls().empty());
    ExpectNothingLeft(1, 1);
}

TEST_F(ViewerFaults, OpenAnsweredWithoutItsOpenResultFailsWithoutReopening) {
    Script({"open_result=none"});
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{"<report>", "发送命令到控件窗口成功！"}));
    EXPECT_EQ(Commands(CMD_OPEN_SERVER).size(), 1u);
    EXPECT_EQ(Events("start").size(), 1u);
    EXPECT_EQ(Impl()->serverOpen, 0);
    EXPECT_EQ(Impl()->ChannelTable, nullptr);
    EXPECT_EQ(Impl()->RecordParamTable, nullptr);
    ExpectNothingLeft(1, 1);
}

// The viewer's result for the first request is in the window's queue, not yet
// dispatched, when the viewer refuses the second request and the session is
// re-opened, which replaces the window.
TEST_F(ViewerFaults, ResultInFlightWhenARefusedCommandReopensIsReportedNotLeaked) {
    Script({"1.record=accept,refuse", "write_files=0"});
    ASSERT_EQ(Open(), 1);
    Calls().clear();
    EXPECT_EQ(Request(false, 51), 1);
    ASSERT_TRUE(HandleSentUntil([] { return ResultCopies.Count() == 1; }, 10000));
    EXPECT_EQ(Request(false, 52), 0);
    EXPECT_EQ(Events("start").size(), 2u);
    PumpFor(300);
    EXPECT_EQ(Events("result").size(), 1u);
    EXPECT_EQ(Calls(), Reported(false, 51));
    ExpectNothingLeft(1, 1);
}

// A host that makes a second client while the first is open: the first one's
// viewer still sends a result, to a window whose client is no longer the active
// one. The active client has no window to post it to: the result is dropped, and
// neither a copy nor a stray thread message is left.
TEST_F(ViewerFaults, ResultReachingASupersededClientsWindowLeavesNothing) {
    Script({"write_files=0", "result_delay_ms=300"});
    ASSERT_EQ(Open(), 1);
    Calls().clear();
    ASSERT_EQ(Request(false, 61), 1);
    IVSClient* second = kesaCreateVSClient();
    ASSERT_NE(second, nullptr);
    second->SetCallback(test::Recorder());
    ASSERT_TRUE(test::PumpUntil([&] { return Events("result").size() == 1; }));
    PumpFor(200);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(ResultCopies.Count(), 0u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
    // The newest client's release takes the process's rendezvous with it.
    kesaReleaseVSClient(second);
    ExpectNothingLeft(0, 1);
}

}  // namespace
}  // namespace nubix::fault
