// Opening and closing the server against the viewer simulator in a second process.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "client/process_state.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"
#include "support/session.h"

namespace nubix::test {
namespace {

const char kReportPattern[] = "共享的地址-?[0-9]+窗口句柄-?[0-9]+DLL句柄-?[0-9]+";

bool IsReport(const std::string& text) { return std::regex_match(text, std::regex(kReportPattern)); }

// The op-log texts with every rendezvous report replaced by "<report>".
std::vector<std::string> OpLogShape() {
    std::vector<std::string> texts = OpLogTexts();
    for (std::string& t : texts) {
        if (IsReport(t)) t = "<report>";
    }
    return texts;
}

HWND ViewerWindowOf(const RendezvousBlock* block) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(block->viewerWindow));
}

using OpenClose = ViewerSession;

TEST_F(OpenClose, SuccessfulOpenMakesZeroedTablesAndWritesTwoLines) {
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(Impl()->channelCount, 255);
    ASSERT_NE(Impl()->ChannelTable, nullptr);
    ASSERT_NE(Impl()->RecordParamTable, nullptr);
    const std::vector<std::uint8_t> zeros(255 * 16, 0);
    EXPECT_EQ(std::memcmp(Impl()->ChannelTable, zeros.data(), 255 * 16), 0);
    EXPECT_EQ(std::memcmp(Impl()->RecordParamTable, zeros.data(), 255 * 12), 0);

    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{"<report>", "发送命令到控件窗口成功！"}));
    // The report names the view, the viewer's window and ours, each as a signed
    // decimal of its full width (on x64 the view lies above 4 GiB here).
    const RendezvousBlock* block = Rendezvous();
    ASSERT_NE(block, nullptr);
    const std::string expected =
        "共享的地址" + std::to_string(reinterpret_cast<INT_PTR>(block)) + "窗口句柄" +
        std::to_string(block->viewerWindow) + "DLL句柄" +
        std::to_string(reinterpret_cast<INT_PTR>(client->GetNotifyWindow()));
    EXPECT_EQ(OpLogTexts()[0], expected);
    // Window handles cross as their 32 significant bits.
    EXPECT_EQ(block->clientWindow, HandleToLong(client->GetNotifyWindow()));

    // The viewer got the login with our window as wParam.
    std::vector<JournalEntry> opens = Commands(CMD_OPEN_SERVER);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].Number("size"), 132);
    EXPECT_EQ(opens[0].Number("wparam"), block->clientWindow);
    OpenServerBlock login;
    ASSERT_EQ(opens[0].Bytes().size(), sizeof login);
    std::memcpy(&login, opens[0].Bytes().data(), sizeof login);
    OpenServerBlock expectedLogin{};
    std::strcpy(expectedLogin.address, "192.168.1.20");
    std::strcpy(expectedLogin.user, "admin");
    std::strcpy(expectedLogin.password, "secret");
    EXPECT_EQ(std::memcmp(&login, &expectedLogin, sizeof login), 0);
}

TEST_F(OpenClose, LongLoginTextsFillTheirFieldsWithoutATerminator) {
    const std::string address(70, 'a');
    const std::string user(32, 'u');
    const std::string password(40, 'p');
    ASSERT_EQ(Open(address.c_str(), user.c_str(), password.c_str()), 1);
    std::vector<std::uint8_t> bytes = Commands(CMD_OPEN_SERVER).at(0).Bytes();
    ASSERT_EQ(bytes.size(), 132u);
    std::string expected = std::string(64, 'a') + std::string(32, 'u') + std::string(32, 'p') + std::string(4, '\0');
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(std::memcmp(&SavedLogin, expected.data(), 128), 0);
}

TEST_F(OpenClose, ViewerFailuresTable) {
    struct Case {
        const char* name;
        std::vector<std::string> script;
        int result;
        std::vector<std::string> log;
        std::size_t openCommands;
    };
    const Case cases[] = {
        {"viewer reports failure", {"open_result=failure"}, 0, {"<report>", "发送命令到控件窗口成功！"}, 1},
        {"viewer sends no result", {"open_result=none"}, 0, {"<report>", "发送命令到控件窗口成功！"}, 1},
        {"no mapping", {"mapping=skip"}, 0, {}, 0},
        {"zero viewer handle", {"handle=zero"}, 0, {"<report>"}, 0},
    };
    for (const Case& c : cases) {
        Script(c.script);
        NewClient();
        EXPECT_EQ(Open(), c.result) << c.name;
        EXPECT_EQ(OpLogShape(), c.log) << c.name;
        EXPECT_EQ(Commands(CMD_OPEN_SERVER).size(), c.openCommands) << c.name;
        EXPECT_EQ(Impl()->ChannelTable, nullptr) << c.name;
        EXPECT_EQ(Impl()->RecordParamTable, nullptr) << c.name;
        // Half open: the window stays until the next open or a close.
        EXPECT_NE(client->GetNotifyWindow(), nullptr) << c.name;
        client->CloseServer();
        kesaReleaseVSClient(client);
        client = nullptr;
        EndAllViewers();
    }
}

TEST_F(OpenClose, AFailedOpenDoesNotReportThePreviousSuccess) {
    ASSERT_EQ(Open(), 1);
    client->CloseServer();
    EndAllViewers();
    Script({"open_result=none"});
    EXPECT_EQ(Open(), 0);
    Script({"handle=zero"});
    EXPECT_EQ(Open(), 0);
}

TEST_F(OpenClose, RefusedOpenCommandReopensOnceWithTheSavedLogin) {
    // The first viewer refuses; the one the re-open starts accepts.
    Script({"1.open=refuse"});
    EXPECT_EQ(Open(), 1);
    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{
                                "<report>", "发送命令到控件窗口失败！", "尝试再打开服务器",
                                "由于句柄不为空先关闭服务器", "尝试创建窗口", "<report>",
                                "发送命令到控件窗口成功！", "发送打开服务器命令发送失败！"}));
    std::vector<JournalEntry> opens = Commands(CMD_OPEN_SERVER);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].Get("hex"), opens[1].Get("hex"));
    EXPECT_EQ(Events("start").size(), 2u);
    // The first viewer was asked to quit by the re-open's close.
    EXPECT_EQ(Events("quit").size(), 1u);
}

TEST_F(OpenClose, ReopensAreBoundedWhenEveryOpenCommandIsRefused) {
    Script({"open=refuse", "open_result=none"});
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{
                                "<report>", "发送命令到控件窗口失败！", "尝试再打开服务器",
                                "由于句柄不为空先关闭服务器", "尝试创建窗口", "<report>",
                                "发送命令到控件窗口失败！", "发送打开服务器命令发送失败！",
                                "打开服务器失败！", "发送打开服务器命令发送失败！"}));
    EXPECT_EQ(Commands(CMD_OPEN_SERVER).size(), 2u);
    EXPECT_EQ(Impl()->RecordParamTable, nullptr);
}

TEST_F(OpenClose, OpenOverAWindowLeftBeforeClosesFirst) {
    Script({"1.open_result=failure"});
    ASSERT_EQ(Open(), 0);
    HWND first = client->GetNotifyWindow();
    ASSERT_NE(first, nullptr);
    ClearLogs();
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(OpLogShape(), (std::vector<std::string>{"由于句柄不为空先关闭服务器", "尝试创建窗口", "<report>",
                                                      "发送命令到控件窗口成功！"}));
    EXPECT_FALSE(IsWindow(first));
    HWND second = client->GetNotifyWindow();
    EXPECT_NE(second, first);
    EXPECT_EQ(Rendezvous()->clientWindow, HandleToLong(second));
    // The first viewer received WM_QUIT.
    EXPECT_TRUE(PumpUntil([&] { return Events("quit").size() == 1; }));
}

TEST_F(OpenClose, NullLoginTextsAreRefusedAtOnce) {
    NewClient();
    EXPECT_EQ(client->OpenServer(nullptr, 0, "u", "p", 0), 0);
    EXPECT_EQ(client->OpenServer("1.2.3.4", 0, nullptr, "p", 0), 0);
    EXPECT_EQ(client->OpenServer("1.2.3.4", 0, "u", nullptr, 0), 0);
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_TRUE(Events("start").empty());
    EXPECT_TRUE(OpLogTexts().empty());
}

TEST_F(OpenClose, CloseReleasesWindowAndTablesAndAsksTheViewerToQuit) {
    ASSERT_EQ(Open(), 1);
    HWND window = client->GetNotifyWindow();
    HWND viewer = ViewerWindowOf(Rendezvous());
    EXPECT_EQ(client->CloseServer(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_EQ(Impl()->ChannelTable, nullptr);
    EXPECT_EQ(Impl()->RecordParamTable, nullptr);
    EXPECT_EQ(Impl()->channelCount, 255);
    EXPECT_EQ(Impl()->serverOpen, 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(viewer); }));
    // The rendezvous stays mapped until the client goes.
    EXPECT_NE(Rendezvous(), nullptr);
    EXPECT_EQ(client->CloseServer(), 0);
    EXPECT_TRUE(OpLogShape() == (std::vector<std::string>{"<report>", "发送命令到控件窗口成功！"}));
}

TEST_F(OpenClose, CloseWithoutAnOpenStillAsksAViewerToQuit) {
    // A viewer left running by someone else.
    Script({});
    ASSERT_GT(WinExec(HostPath("Quil.exe").c_str(), SW_HIDE), 31u);
    ASSERT_TRUE(PumpUntil([] { return FindWindowA(nullptr, "QUIL") != nullptr; }));
    NewClient();
    EXPECT_EQ(client->CloseServer(), 0);
    EXPECT_TRUE(PumpUntil([&] { return Events("quit").size() == 1; }));
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
}

TEST_F(OpenClose, ReleasingTheClientZeroesTheRendezvousAndLeavesTheViewerRunning) {
    ASSERT_EQ(Open(), 1);
    HWND viewer = ViewerWindowOf(Rendezvous());
    // A view of our own onto the same mapping, to watch the words after release.
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRendezvousName);
    ASSERT_NE(mapping, nullptr);
    auto* watch = static_cast<RendezvousBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(watch, nullptr);
    EXPECT_NE(watch->viewerWindow, 0);
    HWND window = client->GetNotifyWindow();

    kesaReleaseVSClient(client);
    client = nullptr;
    EXPECT_EQ(watch->viewerWindow, 0);
    EXPECT_EQ(watch->clientWindow, 0);
    EXPECT_EQ(Rendezvous(), nullptr);
    EXPECT_TRUE(IsWindow(viewer));
    EXPECT_EQ(OpLogShape().back(), "视频接口退出！");
    UnmapViewOfFile(watch);
    CloseHandle(mapping);
    // The window the host did not close goes with a close of its own.
    DestroyWindow(window);
}

// Mapped views in this process, counted by walking the address space.
int MappedViews() {
    int views = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.Type == MEM_MAPPED && info.State == MEM_COMMIT && info.BaseAddress == info.AllocationBase) ++views;
        if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < p) break;
    }
    return views;
}

TEST_F(OpenClose, RepeatedOpensLeaveNoViewNorClassBehind) {
    ASSERT_EQ(Open(), 1);
    const int views = MappedViews();
    char firstClass[32] = {};
    GetClassNameA(client->GetNotifyWindow(), firstClass, sizeof firstClass);
    for (int i = 0; i < 5; ++i) {
        client->CloseServer();
        ASSERT_EQ(Open(), 1) << i;
    }
    EXPECT_EQ(MappedViews(), views);
    client->CloseServer();
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), firstClass, &wc));
    kesaReleaseVSClient(client);
    client = nullptr;
    EXPECT_EQ(MappedViews(), views - 1);
    // Once the viewers are gone nobody holds the mapping any more.
    EndAllViewers();
    EXPECT_TRUE(PumpUntil([] {
        HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, kRendezvousName);
        if (h != nullptr) CloseHandle(h);
        return h == nullptr;
    }));
}

}  // namespace
}  // namespace nubix::test

namespace nubix::test {
namespace {

// Sets an environment variable that the programs the library starts inherit, for the
// life of the object.
class InheritedVariable {
public:
    InheritedVariable(const char* name, const char* value) : name_(name) { SetEnvironmentVariableA(name, value); }
    ~InheritedVariable() { SetEnvironmentVariableA(name_, nullptr); }

private:
    const char* name_;
};

// Moves a file of the host directory aside, for the life of the object.
class FileAside {
public:
    explicit FileAside(const std::string& name) : path_(HostPath(name)), aside_(path_ + ".aside") {
        MoveFileA(path_.c_str(), aside_.c_str());
    }
    ~FileAside() { MoveFileA(aside_.c_str(), path_.c_str()); }

private:
    std::string path_, aside_;
};

// Registers, for the seconds to come, the window classes the library will name its
// window after, with a procedure that refuses to create any window: the library then
// finds its class present and cannot create the window.
class WindowCreationRefused {
public:
    WindowCreationRefused() {
        const int now = static_cast<int>(std::time(nullptr));
        for (int second = now; second < now + 30; ++second) {
            names_.push_back(std::to_string(second));
            WNDCLASSA wc = {};
            wc.lpfnWndProc = Refuse;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = names_.back().c_str();
            RegisterClassA(&wc);
        }
    }
    ~WindowCreationRefused() {
        for (const std::string& name : names_) UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr));
    }

private:
    static LRESULT CALLBACK Refuse(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) return FALSE;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    std::vector<std::string> names_;
};

using OpenFailures = ViewerSession;

TEST_F(OpenFailures, ControlThatCannotBeRegisteredStopsTheOpenBeforeAnything) {
    DeleteControlKey();
    InheritedVariable mode("VANTO_MODE", "fail");
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_TRUE(Events("start").empty());
    EXPECT_TRUE(OpLogTexts().empty());
    std::vector<std::string> level = LevelLogMessages();
    ASSERT_EQ(level.size(), 2u);
    EXPECT_NE(level[0].find("regsvr32 /s \""), std::string::npos) << level[0];
    EXPECT_EQ(level[1], " ◎◎ DEBUG ◎◎ 控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}不能在此计算机上注册！");
}

TEST_F(OpenFailures, RegistrationNotFinishedFailsThisOpenAndALaterOneGoesOn) {
    DeleteControlKey();
    InheritedVariable mode("VANTO_MODE", "late:1500");
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(LevelLogMessages().back(), " ◎◎ DEBUG ◎◎ 控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}不能在此计算机上注册！");
    EXPECT_TRUE(Events("start").empty());
    ASSERT_TRUE(PumpUntil(ControlKeyExists, 20000));
    ClearLogs();
    EXPECT_EQ(Open(), 1);
    EXPECT_EQ(LevelLogMessages(),
              (std::vector<std::string>{" ◎◎ DEBUG ◎◎ 控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}已经注册 ！"}));
}

TEST_F(OpenFailures, FirstOpenRegistersTheControlThroughRegsvr32) {
    DeleteControlKey();
    NewClient();
    EXPECT_EQ(Open(), 1);
    std::vector<std::string> level = LevelLogMessages();
    ASSERT_EQ(level.size(), 3u);
    EXPECT_EQ(level[0], " ◎◎ DEBUG ◎◎ regsvr32 /s \"" + HostDirectory() + "\\ocx\\brindle\\VANTO.ocx\"");
    EXPECT_EQ(level[1], " ◎◎ DEBUG ◎◎ 控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}注册成功 ！");
    EXPECT_EQ(level[2], " ◎◎ DEBUG ◎◎ 控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}已经注册 ！");
}

TEST_F(OpenFailures, WindowThatCannotBeCreatedFailsTheOpen) {
    WindowCreationRefused refused;
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"由于不能DLL不能创建窗口，打开服务器失败！"}));
    EXPECT_TRUE(Events("start").empty());
}

TEST_F(OpenFailures, SecondWindowThatCannotBeCreatedFailsTheReopen) {
    Script({"1.open_result=failure"});
    NewClient();
    ASSERT_EQ(Open(), 0);
    ASSERT_NE(client->GetNotifyWindow(), nullptr);
    char firstClass[32] = {};
    GetClassNameA(client->GetNotifyWindow(), firstClass, sizeof firstClass);
    ClearLogs();
    WindowCreationRefused refused;
    // The first window's own class cannot be taken over: open in a later second.
    ASSERT_TRUE(PumpUntil([&] { return std::time(nullptr) != std::atoi(firstClass); }));
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"由于句柄不为空先关闭服务器", "尝试创建窗口", "但创建窗口失败！",
                                                      "由于不能DLL不能创建窗口，打开服务器失败！"}));
}

TEST_F(OpenFailures, ViewerThatCannotBeStartedLeavesTheWindow) {
    FileAside viewer("Quil.exe");
    NewClient();
    EXPECT_EQ(Open(), 0);
    EXPECT_NE(client->GetNotifyWindow(), nullptr);
    EXPECT_TRUE(OpLogTexts().empty());
    EXPECT_TRUE(Events("start").empty());
    EXPECT_EQ(Impl()->RecordParamTable, nullptr);
}

}  // namespace
}  // namespace nubix::test
