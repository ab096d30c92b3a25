// The notification window and its handlers, driven in this process: the message
// table, the callbacks each result gives, the host's messages, and the messages it
// must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "channel/notify_window.h"
#include "client/block_list.h"
#include "client/process_state.h"
#include "client/vs_client.h"
#include "support/callback_recorder.h"
#include "support/host_dir.h"
#include "support/log_files.h"

namespace nubix {
namespace {

using test::Calls;
using test::FileCall;
using test::StatusCall;

CommandRecord Result(int channel, int tag, const char* directory, const char* fileName, int result) {
    CommandRecord r;
    std::memset(&r, 0, sizeof r);
    r.channel = channel;
    r.tag = tag;
    std::strncpy(r.directory, directory, sizeof r.directory);
    std::strncpy(r.fileName, fileName, sizeof r.fileName);
    r.result = result;
    return r;
}

// A client with its window, as an open leaves it, without a viewer.
class NotifyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearLogs();
        Calls().clear();
        client = static_cast<VSClient*>(kesaCreateVSClient());
        ASSERT_NE(client, nullptr);
        client->notifyWindow = CreateNotifyWindow();
        ASSERT_NE(client->notifyWindow, nullptr);
        ASSERT_TRUE(client->CreateTables());
        client->SetCallback(test::Recorder());
        test::ClearLogs();
    }
    void TearDown() override {
        if (client != nullptr) {
            client->CloseServer();
            kesaReleaseVSClient(client);
        }
        EXPECT_EQ(ResultCopies.Count(), 0u);
    }

    // Sends a result as the viewer does, then lets the posted copy be dispatched.
    void DeliverResult(std::uint32_t code, const void* data, DWORD size) {
        COPYDATASTRUCT cds{code, size, const_cast<void*>(data)};
        EXPECT_EQ(SendMessageA(client->notifyWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
        test::PumpFor(50);
    }
    void DeliverResult(std::uint32_t code, const CommandRecord& r) { DeliverResult(code, &r, sizeof r); }

    std::vector<std::string> OpLog() { return test::OpLogTexts(); }

    VSClient* client = nullptr;
};

TEST_F(NotifyWindowTest, HandlesExactlyItsOwnMessageNumbers) {
    const std::set<UINT> handled = {WM_COPYDATA, WM_TIMER, 2025, 2027, 2029, 2030, 2032, 2033, 2036, 2037};
    for (UINT message = 0; message < 0x10000; ++message) {
        // With no client the handlers have no effect; only the routing is looked at.
        EXPECT_EQ(HandleNotifyMessage(nullptr, message, 0, 0), handled.count(message) ? 1 : 0) << message;
    }
}

TEST_F(NotifyWindowTest, WindowIsHiddenPopupTitledSampleAndPassesOtherMessagesOn) {
    HWND window = client->notifyWindow;
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_CHILD | WS_VISIBLE), WS_POPUP);
    char title[32] = {};
    // WM_GETTEXT is not one of the window's numbers: DefWindowProcA answers it.
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Sample");
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_GT(std::atoi(className), 1000000000) << className;
    EXPECT_EQ(SendMessageA(window, 2034, 0, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_TIMER, 1, 0), 0);
}

TEST_F(NotifyWindowTest, PictureAndRecordResultsGiveTheirCallbacksInOrder) {
    struct Case {
        const char* name;
        std::uint32_t code;
        int result;
        std::vector<test::CallbackCall> calls;
        std::vector<std::string> log;
    };
    const std::string path = "D:\\pic\\a.jpg";
    const Case cases[] = {
        {"picture 1 succeeds", CMD_CAPTURE_PICTURE, 1,
         {StatusCall(2, 77, 0, 0), FileCall(2, KIND_PICTURE_FILE, 77, path)}, {"截图成功"}},
        {"picture 2 fails", CMD_CAPTURE_PICTURE, 2, {StatusCall(2, 77, 0, -1)}, {"截图失败"}},
        {"picture 0 fails", CMD_CAPTURE_PICTURE, 0, {StatusCall(2, 77, 0, -1)}, {"截图失败"}},
        {"picture -1 fails", CMD_CAPTURE_PICTURE, -1, {StatusCall(2, 77, 0, -1)}, {"截图失败"}},
        {"record 1 succeeds", CMD_RECORD_FILE, 1,
         {StatusCall(2, 77, 1, 0), FileCall(2, KIND_RECORD_FILE, 77, path)}, {}},
        {"record 2 succeeds", CMD_RECORD_FILE, 2,
         {StatusCall(2, 77, 1, 0), FileCall(2, KIND_RECORD_FILE, 77, path)}, {}},
        {"record 0 fails", CMD_RECORD_FILE, 0, {StatusCall(2, 77, 1, -1)}, {}},
    };
    for (const Case& c : cases) {
        Calls().clear();
        test::ClearLogs();
        DeliverResult(c.code, Result(2, 77, "D:\\pic\\", "a.jpg", c.result));
        EXPECT_EQ(Calls(), c.calls) << c.name;
        EXPECT_EQ(OpLog(), c.log) << c.name;
    }
}

TEST_F(NotifyWindowTest, InboundRecordsAreReadWithinTheirFields) {
    // Neither text field carries a terminating zero: the joined path is cut at 259.
    CommandRecord full = Result(1, 2, "", "", 1);
    std::memset(full.directory, 'd', sizeof full.directory);
    std::memset(full.fileName, 'f', sizeof full.fileName);
    DeliverResult(CMD_CAPTURE_PICTURE, full);
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[1].data, std::string(259, 'd').substr(0, 259));
    EXPECT_EQ(Calls()[1].length, 259);

    // A file name that fills its field is read to the field's end, not beyond.
    Calls().clear();
    CommandRecord noZeroName = Result(1, 2, "C:\\x\\", "", 1);
    std::memset(noZeroName.fileName, 'n', sizeof noZeroName.fileName);
    DeliverResult(CMD_CAPTURE_PICTURE, noZeroName);
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[1].data, "C:\\x\\" + std::string(64, 'n'));
}

TEST_F(NotifyWindowTest, ShortAndEmptyCopyDataAreCompletedOrIgnored) {
    CommandRecord r = Result(9, 5, "C:\\", "p.bmp", 1);
    // 8 bytes: channel and tag only, the rest completed with zeros: result 0 fails.
    DeliverResult(CMD_CAPTURE_PICTURE, &r, 8);
    EXPECT_EQ(Calls(), (std::vector<test::CallbackCall>{StatusCall(9, 5, 0, -1)}));

    Calls().clear();
    DeliverResult(CMD_CAPTURE_PICTURE, &r, 0);
    DeliverResult(CMD_RECORD_FILE, nullptr, 336);
    DeliverResult(1, &r, sizeof r);
    DeliverResult(4, &r, sizeof r);
    EXPECT_TRUE(Calls().empty());

    // More than a record: only the record is read.
    std::vector<char> big(64 * 1024, 'x');
    std::memcpy(big.data(), &r, sizeof r);
    DeliverResult(CMD_RECORD_FILE, big.data(), static_cast<DWORD>(big.size()));
    EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(NotifyWindowTest, ResultsWithNoCallbackAreDroppedAndFreed) {
    client->SetCallback(nullptr);
    DeliverResult(CMD_CAPTURE_PICTURE, Result(1, 1, "C:\\", "a.bmp", 1));
    DeliverResult(CMD_RECORD_FILE, Result(1, 1, "C:\\", "a.rec", 1));
    EXPECT_TRUE(Calls().empty());
    // The picture is still logged.
    EXPECT_EQ(OpLog(), (std::vector<std::string>{"截图成功"}));
    EXPECT_EQ(ResultCopies.Count(), 0u);
}

TEST_F(NotifyWindowTest, RestartMessageReportsFailureWithItsTag) {
    PostMessageA(client->notifyWindow, MSG_RESTART_SERVER, 0, 77);
    test::PumpFor(50);
    EXPECT_EQ(Calls(), (std::vector<test::CallbackCall>{StatusCall(-1, 77, 3, -1)}));
    EXPECT_EQ(OpLog(), (std::vector<std::string>{"重启服务器失败"}));
}

TEST_F(NotifyWindowTest, OpenResultNeedsBothParameters) {
    const struct {
        WPARAM wParam;
        LPARAM lParam;
        int serverOpen;
    } cases[] = {{1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {7, -3, 1}};
    for (const auto& c : cases) {
        client->serverOpen = 1 - c.serverOpen;
        EXPECT_EQ(SendMessageA(client->notifyWindow, MSG_OPEN_RESULT, c.wParam, c.lParam), 0);
        EXPECT_EQ(client->serverOpen, c.serverOpen) << c.wParam << "," << c.lParam;
    }
}

TEST_F(NotifyWindowTest, PostedRecordParametersAreStoredByteForByteAndFreed) {
    const std::uint8_t params[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFF};
    struct Case {
        WPARAM length;
        int channel;
        std::size_t stored;  // parameter bytes that reach the entry
        bool logged;
    };
    const Case cases[] = {{20, 7, 12, true}, {14, 8, 6, true}, {8, 9, 0, true}, {400, 10, 12, true}, {7, 11, 0, false}};
    for (const Case& c : cases) {
        test::ClearLogs();
        auto* block = static_cast<RecordParamBlock*>(kesaNewBuffer(sizeof(RecordParamBlock)));
        ASSERT_NE(block, nullptr);
        block->channel = c.channel;
        block->unused = 0x5A5A5A5A;
        std::memcpy(&block->params, params, sizeof params);
        ASSERT_TRUE(PostMessageA(client->notifyWindow, MSG_SET_RECORD_PARAM, c.length,
                                 reinterpret_cast<LPARAM>(block)));
        test::PumpFor(30);
        std::uint8_t expected[12] = {};
        std::memcpy(expected, params, c.stored);
        EXPECT_EQ(std::memcmp(&client->RecordParamTable[c.channel], expected, 12), 0) << c.length;
        EXPECT_EQ(OpLog(), c.logged ? std::vector<std::string>{"设置录象参数"} : std::vector<std::string>{})
            << c.length;
        EXPECT_FALSE(HostBuffers.Contains(block)) << "block freed, length " << c.length;
    }
    // Neighbours of the entries set stay zero.
    const std::uint8_t zero[12] = {};
    EXPECT_EQ(std::memcmp(&client->RecordParamTable[6], zero, 12), 0);
    EXPECT_EQ(std::memcmp(&client->RecordParamTable[12], zero, 12), 0);
}

TEST_F(NotifyWindowTest, ForeignAndStalePointersAreNeitherReadNorFreed) {
    // An address the window never posted: from another process, or made up.
    static CommandRecord foreign = Result(1, 1, "C:\\", "x.bmp", 1);
    for (UINT message : {MSG_PICTURE_RESULT, MSG_RECORD_FILE_RESULT}) {
        EXPECT_EQ(SendMessageA(client->notifyWindow, message, 336, reinterpret_cast<LPARAM>(&foreign)), 0);
        EXPECT_EQ(SendMessageA(client->notifyWindow, message, 336, 0x12345678), 0);
        EXPECT_EQ(SendMessageA(client->notifyWindow, message, 336, 0), 0);
    }
    EXPECT_TRUE(Calls().empty());

    // A block the host allocated is not a result copy, and a stack block is not a
    // parameter block.
    void* hostBlock = kesaNewBuffer(336);
    EXPECT_EQ(SendMessageA(client->notifyWindow, MSG_PICTURE_RESULT, 336, reinterpret_cast<LPARAM>(hostBlock)), 0);
    EXPECT_TRUE(HostBuffers.Contains(hostBlock));
    RecordParamBlock onStack{3, 0, {{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}}};
    EXPECT_EQ(SendMessageA(client->notifyWindow, MSG_SET_RECORD_PARAM, 20, reinterpret_cast<LPARAM>(&onStack)), 0);
    const std::uint8_t zero[12] = {};
    EXPECT_EQ(std::memcmp(&client->RecordParamTable[3], zero, 12), 0);
    kesaDelBuffer(hostBlock);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(OpLog().empty());
}

TEST_F(NotifyWindowTest, ACopyHandledTwiceIsActedOnOnce) {
    // Replaying the message the window posted (stale lParam) must not free again.
    CommandRecord r = Result(4, 4, "C:\\", "a.bmp", 1);
    COPYDATASTRUCT cds{CMD_CAPTURE_PICTURE, sizeof r, &r};
    SendMessageA(client->notifyWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, client->notifyWindow, MSG_PICTURE_RESULT, MSG_PICTURE_RESULT, PM_REMOVE));
    DispatchMessageA(&msg);
    DispatchMessageA(&msg);
    EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(NotifyWindowTest, MessagesAfterTheClientIsGoneFreeCopiesAndCallNothing) {
    CommandRecord r = Result(4, 4, "C:\\", "a.bmp", 1);
    COPYDATASTRUCT cds{CMD_CAPTURE_PICTURE, sizeof r, &r};
    SendMessageA(client->notifyWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    EXPECT_EQ(ResultCopies.Count(), 1u);
    HWND window = client->notifyWindow;
    kesaReleaseVSClient(client);  // without CloseServer: the window stays
    client = nullptr;
    EXPECT_EQ(ActiveClient.load(), nullptr);

    test::ClearLogs();
    test::PumpFor(50);
    PostMessageA(window, MSG_RESTART_SERVER, 0, 1);
    SendMessageA(window, MSG_OPEN_RESULT, 1, 1);
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    test::PumpFor(50);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(ResultCopies.Count(), 0u);
    EXPECT_TRUE(test::ReadLogLines(test::kOpLogPath).empty());
    DestroyNotifyWindow(window);
}

TEST_F(NotifyWindowTest, DestroyingTheLastWindowOfAClassUnregistersIt) {
    char className[32] = {};
    GetClassNameA(client->notifyWindow, className, sizeof className);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc;
    // A window made within the same second shares the class, which outlives it
    // while the first window still uses the class.
    HWND second = CreateNotifyWindow();
    ASSERT_NE(second, nullptr);
    char secondClass[32] = {};
    GetClassNameA(second, secondClass, sizeof secondClass);
    DestroyNotifyWindow(second);
    if (std::strcmp(secondClass, className) == 0) EXPECT_TRUE(GetClassInfoA(instance, className, &wc));

    client->CloseServer();
    EXPECT_FALSE(GetClassInfoA(instance, className, &wc)) << className;
    EXPECT_FALSE(GetClassInfoA(instance, secondClass, &wc)) << secondClass;
}

}  // namespace
}  // namespace nubix
