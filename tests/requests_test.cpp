// Commands to the viewer and the results that come back: the transport, the
// picture and record-file requests, and their callbacks, against the viewer
// simulator in a second process.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <cstring>
#include <regex>
#include <thread>

#include "channel/send_command.h"
#include "client/process_state.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"
#include "support/session.h"

namespace nubix::test {
namespace {

std::string ShotDirectory() {
    std::string dir = HostPath("shots");
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\";
}

bool IsReport(const std::string& text) {
    return std::regex_match(text, std::regex("共享的地址-?[0-9]+窗口句柄-?[0-9]+DLL句柄-?[0-9]+"));
}

class Requests : public ViewerSession {
protected:
    void OpenOrFail() { ASSERT_EQ(Open(), 1); ClearLogs(); Calls().clear(); }
};

TEST_F(Requests, PictureTravelsToTheViewerAndComesBackThroughTheCallback) {
    OpenOrFail();
    const std::string path = ShotDirectory() + "road.bmp";
    DeleteFileA(path.c_str());
    std::vector<char> request = MakeRequest(4242, path);
    // Channel 0 is the channel the process starts on: no channel record, no wait.
    EXPECT_EQ(client->CapturePicture(0, AsRequest(request)), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    EXPECT_EQ(Calls(), (std::vector<CallbackCall>{StatusCall(0, 4242, 0, 0),
                                                  FileCall(0, KIND_PICTURE_FILE, 4242, path)}));
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"发送截图命令！", "发送命令到控件窗口成功！", "截图成功"}));
    // The picture exists and is an image.
    EXPECT_EQ(ReadFileBytes(path.c_str()).substr(0, 2), "BM");

    std::vector<JournalEntry> captures = Commands(CMD_CAPTURE_PICTURE);
    ASSERT_EQ(captures.size(), 1u);
    CommandRecord sent = RecordOf(captures[0]);
    EXPECT_EQ(captures[0].Number("size"), 336);
    EXPECT_EQ(sent.tag, 4242);
    EXPECT_EQ(std::string(sent.directory) + sent.fileName, path);
    EXPECT_EQ(sent.result, 0);
}

TEST_F(Requests, RecordFileNeverWaitsNorLogsAndReportsItsFile) {
    OpenOrFail();
    const std::string path = ShotDirectory() + "clip.rec";
    std::vector<char> request = MakeRequest(-5, path);
    EXPECT_EQ(client->RequestRecordFile(9, AsRequest(request)), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    EXPECT_EQ(Calls(), (std::vector<CallbackCall>{StatusCall(9, -5, 1, 0), FileCall(9, KIND_RECORD_FILE, -5, path)}));
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"发送命令到控件窗口成功！"}));
    EXPECT_TRUE(Commands(CMD_CAPTURE_PICTURE).empty());
}

TEST_F(Requests, ViewerResultValuesDecideTheOutcome) {
    Script({"picture_result=2", "record_result=2", "write_files=0"});
    OpenOrFail();
    std::vector<char> request = MakeRequest(1, "C:\\x\\y.bmp");
    ASSERT_EQ(client->CapturePicture(0, AsRequest(request)), 1);
    ASSERT_TRUE(WaitForCallbacks(1));
    ASSERT_EQ(client->RequestRecordFile(0, AsRequest(request)), 1);
    ASSERT_TRUE(WaitForCallbacks(3));
    EXPECT_EQ(Calls(), (std::vector<CallbackCall>{StatusCall(0, 1, 0, -1), StatusCall(0, 1, 1, 0),
                                                  FileCall(0, KIND_RECORD_FILE, 1, "C:\\x\\y.bmp")}));
}

TEST_F(Requests, RefusedRequestsAreNotSentAndLeaveOneLine) {
    OpenOrFail();
    std::vector<char> tooShort = MakeRequest(1, "");
    const int seven = 7;
    std::memcpy(tooShort.data(), &seven, 4);
    std::vector<char> tooLong(800, 'a');
    const int big = 777;
    std::memcpy(tooLong.data(), &big, 4);
    const std::vector<char> cases[] = {
        tooShort,
        tooLong,
        MakeRequest(1, "C:\\" + std::string(254, 'p')),   // 257 characters
        MakeRequest(1, "C:\\d\\" + std::string(64, 'f')),  // file name of 64
    };
    for (const std::vector<char>& block : cases) {
        ClearLogs();
        EXPECT_EQ(client->CapturePicture(77, AsRequest(block)), 0);
        EXPECT_EQ(client->RequestRecordFile(77, AsRequest(block)), 0);
        EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"请求无效，已拒绝！", "请求无效，已拒绝！"}));
    }
    ClearLogs();
    EXPECT_EQ(client->CapturePicture(77, nullptr), 0);
    EXPECT_EQ(client->RequestRecordFile(77, nullptr), 0);
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"请求无效，已拒绝！", "请求无效，已拒绝！"}));
    EXPECT_TRUE(Commands(CMD_CAPTURE_PICTURE).empty());
    EXPECT_TRUE(Commands(CMD_RECORD_FILE).empty());
    // Nothing was sent, so channel 77 was never announced: the next picture on 0 is
    // not preceded by a channel record.
    std::vector<char> good = MakeRequest(1, "C:\\d\\a.bmp");
    EXPECT_EQ(client->CapturePicture(0, AsRequest(good)), 1);
    EXPECT_EQ(Commands(CMD_CAPTURE_PICTURE).size(), 1u);
}

TEST_F(Requests, RequestsBeforeAnyOpenSendNothing) {
    NewClient();
    std::vector<char> request = MakeRequest(1, "C:\\d\\a.bmp");
    EXPECT_EQ(client->CapturePicture(0, AsRequest(request)), 0);
    EXPECT_EQ(client->RequestRecordFile(0, AsRequest(request)), 0);
    EXPECT_TRUE(Events("start").empty());
}

TEST_F(Requests, RefusedCommandReopensWithTheSavedLoginAndIsNotRepeated) {
    Script({"1.record=refuse", "write_files=0"});
    OpenOrFail();
    const std::string firstLogin = Commands(CMD_OPEN_SERVER).at(0).Get("hex");
    std::vector<char> request = MakeRequest(3, "C:\\d\\a.rec");
    EXPECT_EQ(client->RequestRecordFile(1, AsRequest(request)), 0);
    std::vector<std::string> texts = OpLogTexts();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], "发送命令到控件窗口失败！");
    EXPECT_EQ(texts[1], "尝试再打开服务器");
    EXPECT_EQ(texts[2], "由于句柄不为空先关闭服务器");
    EXPECT_EQ(texts[3], "尝试创建窗口");
    EXPECT_TRUE(IsReport(texts[4])) << texts[4];
    EXPECT_EQ(texts[5], "发送命令到控件窗口成功！");
    // The re-open sent the very same login; the refused command went only once.
    std::vector<JournalEntry> opens = Commands(CMD_OPEN_SERVER);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].Get("hex"), firstLogin);
    EXPECT_EQ(Commands(CMD_RECORD_FILE).size(), 1u);
    // And the new session works.
    EXPECT_EQ(client->RequestRecordFile(1, AsRequest(request)), 1);
    EXPECT_TRUE(WaitForCallbacks(2));
}

TEST_F(Requests, ViewerThatCannotAnswerFailsTheRequestAndIsReplaced) {
    enum class Before { Nothing, ShortBound, Close };
    struct Case {
        const char* name;
        std::vector<std::string> script;
        Before before;
        bool picture;
    };
    const Case cases[] = {
        {"hangs", {"1.hang=record", "write_files=0"}, Before::ShortBound, false},
        {"exits mid-command", {"1.exit=capture", "write_files=0"}, Before::Nothing, true},
        {"was closed", {"write_files=0"}, Before::Close, false},
    };
    for (const Case& c : cases) {
        Script(c.script);
        NewClient();
        OpenOrFail();
        if (c.before == Before::ShortBound) SetCommandTimeoutForTesting(300);
        if (c.before == Before::Close) {
            client->CloseServer();
            EXPECT_TRUE(PumpUntil([&] { return Events("quit").size() == 1; })) << c.name;
            PumpFor(200);  // the viewer's window goes with its process
            ClearLogs();
        }
        std::vector<char> request = MakeRequest(3, "C:\\d\\a.rec");
        const int taken = c.picture ? client->CapturePicture(0, AsRequest(request))
                                    : client->RequestRecordFile(1, AsRequest(request));
        EXPECT_EQ(taken, 0) << c.name;
        std::vector<std::string> texts = OpLogTexts();
        if (c.picture && !texts.empty()) texts.erase(texts.begin());  // "发送截图命令！"
        ASSERT_GE(texts.size(), 2u) << c.name;
        EXPECT_EQ(texts[0], "发送命令到控件窗口失败！") << c.name;
        EXPECT_EQ(texts[1], "尝试再打开服务器") << c.name;
        // The re-open started a second viewer and left a window to serve it.
        EXPECT_EQ(Events("start").size(), 2u) << c.name;
        EXPECT_NE(client->GetNotifyWindow(), nullptr) << c.name;
        SetCommandTimeoutForTesting(5000);
        client->CloseServer();
        kesaReleaseVSClient(client);
        client = nullptr;
        EndAllViewers();
    }
}

TEST_F(Requests, TwoThreadsRequestingWhileResultsFlowLoseNothing) {
    Script({"write_files=0"});
    OpenOrFail();
    constexpr int kPerThread = 40;
    std::atomic<int> taken{0};
    std::atomic<int> running{2};
    auto requester = [&](int firstTag) {
        for (int i = 0; i < kPerThread; ++i) {
            std::vector<char> request = MakeRequest(firstTag + i, "C:\\d\\r" + std::to_string(firstTag + i) + ".rec");
            taken += client->RequestRecordFile(firstTag % 200, AsRequest(request));
        }
        --running;
    };
    std::thread a(requester, 1000);
    std::thread b(requester, 2000);
    // This thread opened the server: it dispatches the results meanwhile.
    EXPECT_TRUE(PumpUntil([&] { return running == 0 && Calls().size() >= 4 * kPerThread; }, 60000));
    a.join();
    b.join();
    PumpFor(100);
    EXPECT_EQ(taken, 2 * kPerThread);
    std::map<int, int> statusPerTag;
    for (const CallbackCall& c : Calls()) {
        if (c.kind == KIND_STATUS) ++statusPerTag[c.tag];
    }
    ASSERT_EQ(statusPerTag.size(), 2u * kPerThread);
    for (const auto& [tag, count] : statusPerTag) EXPECT_EQ(count, 1) << tag;
    // Every operation-log line is whole: no two lines ran into each other.
    const std::regex line("\\[[0-9]+-[0-9]+-[0-9]+\\]\\[[0-9]+:[0-9]+:[0-9]+- *[0-9]+\\]命令号:0  操作: 发送命令到控件窗口成功！");
    std::vector<std::string> lines = ReadLogLines(kOpLogPath);
    EXPECT_EQ(lines.size(), 2u * kPerThread);
    for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, line)) << l;
}

DWORD callbackThread = 0;
int __stdcall NoteCallbackThread(int, unsigned short, int, void*, int) {
    callbackThread = GetCurrentThreadId();
    return 0;
}

TEST_F(Requests, CallbacksRunOnTheOpeningThread) {
    Script({"write_files=0"});
    OpenOrFail();
    client->SetCallback(NoteCallbackThread);
    std::thread other([&] {
        std::vector<char> request = MakeRequest(1, "C:\\d\\a.rec");
        client->RequestRecordFile(1, AsRequest(request));
    });
    other.join();
    EXPECT_TRUE(PumpUntil([] { return callbackThread != 0; }));
    EXPECT_EQ(callbackThread, GetCurrentThreadId());
}

}  // namespace
}  // namespace nubix::test
