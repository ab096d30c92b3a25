// Paths in the system's ANSI code page, as the library reads them: a request's split
// into directory and fileName, and the application directory taken from the host's
// executable. The program runs twice, under code page 936 (GBK, LC_ALL=zh_CN.UTF-8)
// and under 1252; NUBIX_EXPECT_ACP names the code page a run is for.
//
// Texts are GBK bytes, their characters in comments. In GBK the second byte of 淺
// (9C 5C), 嘰, 孿, 擻 and 奬 is 0x5C, the byte of the backslash: in 936 it belongs to
// its character, in 1252 it is a backslash.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "channel/system_lead_byte.h"
#include "client/app_paths.h"
#include "support/log_files.h"
#include "support/session.h"

namespace nubix::test {
namespace {

const std::string kQian = "\x9C\x5C";              // 淺
const std::string kJi = "\x87\x5C";                // 嘰
const std::string kLuan = "\x8C\x5C";              // 孿
const std::string kSou = "\x94\x5C";               // 擻
const std::string kJiang = "\x8A\x5C";             // 奬
const std::string kShui = "\xCB\xAE";              // 水
const std::string kWan = "\x9E\xB3";               // 灣
const std::string kJianKong = "\xBC\xE0\xBF\xD8";  // 监控
const std::string kLuXiang = "\xC2\xBC\xCF\xF1";   // 录像

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// The code page this run is for, from NUBIX_EXPECT_ACP (0 when it is not set).
unsigned ExpectedCodePage() {
    const char* value = std::getenv("NUBIX_EXPECT_ACP");
    return value == nullptr ? 0 : static_cast<unsigned>(std::strtoul(value, nullptr, 10));
}

bool InCodePage936() { return GetACP() == 936; }

// A split of a path: directory with its backslash, and fileName.
struct Split {
    std::string directory;
    std::string fileName;
    bool refused = false;
};
const Split kRefused{"", "", true};

// The record's text fields, bytes outside printable ASCII as \xNN.
std::string Fields(const CommandRecord& record) {
    std::string text;
    for (const std::string& field : {std::string(record.directory, FieldLength(record.directory, 260)),
                                     std::string(record.fileName, FieldLength(record.fileName, 64))}) {
        text += text.empty() ? "directory \"" : " fileName \"";
        for (const char c : field) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            text += (c >= 0x20 && c < 0x7F) ? std::string(1, c) : std::string(hex);
        }
        text += "\"";
    }
    return text;
}

// All 336 bytes alike; a difference names its offset and both records' texts.
::testing::AssertionResult SameRecord(const CommandRecord& actual, const CommandRecord& expected) {
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    for (std::size_t i = 0; i < sizeof actual; ++i) {
        if (a[i] != e[i]) {
            return ::testing::AssertionFailure() << "byte " << i << " differs: " << Fields(actual) << ", expected "
                                                 << Fields(expected);
        }
    }
    return ::testing::AssertionSuccess();
}

CommandRecord ExpectedRecord(std::int32_t tag, const Split& split) {
    CommandRecord record;
    std::memset(&record, 0, sizeof record);
    record.tag = tag;
    std::memcpy(record.directory, split.directory.data(), split.directory.size());
    std::memcpy(record.fileName, split.fileName.data(), split.fileName.size());
    return record;
}

TEST(SystemCodePage, IsTheOneThisRunIsFor) {
    ASSERT_NE(ExpectedCodePage(), 0u) << "NUBIX_EXPECT_ACP is not set";
    EXPECT_EQ(GetACP(), ExpectedCodePage());
    EXPECT_EQ(IsSystemLeadByte(0x9C), GetACP() == 936);
    EXPECT_FALSE(IsSystemLeadByte('\\'));
}

// Each request goes to the viewer simulator as a picture and as a record file on
// channel 0 (no channel record first); the viewer's journal holds the exact records.
struct RequestCase {
    const char* name;
    std::int32_t tag;
    std::string path;
    Split cp936;
    Split cp1252;
};

using RequestPaths = ViewerSession;

TEST_F(RequestPaths, SplitAtTheLastBackslashThatIsACharacterOfItsOwn) {
    const std::string pic = "C:\\pic\\";
    const std::string qianDir = "D:\\" + kLuXiang + "\\" + kQian + "\\";  // the folder 淺 in 录像 on D:
    const std::string bare = kQian + kJi + kLuan + kSou + kJiang;          // 淺嘰孿擻奬
    const std::string name63 = "x" + Repeat(kQian, 31);
    const std::string name64 = Repeat(kQian, 32);
    const RequestCase cases[] = {
        {"file name holding 淺: C:\\pic\\淺水.jpg", 11, pic + kQian + kShui + ".jpg",
         {pic, kQian + kShui + ".jpg"}, {pic + kQian, kShui + ".jpg"}},
        {"directory whose last character ends with 0x5C: D:\\录像\\淺\\a.jpg", 12, qianDir + "a.jpg",
         {qianDir, "a.jpg"}, {qianDir, "a.jpg"}},
        {"bare file name of such characters: 淺嘰孿擻奬.jpg", 13, bare + ".jpg", {"", bare + ".jpg"},
         {bare, ".jpg"}},
        {"file name ending with 淺: C:\\pic\\a淺", 14, pic + "a" + kQian, {pic, "a" + kQian},
         {pic + "a" + kQian, ""}},
        {"file name of 63 bytes: x and 31 times 淺", 15, pic + name63, {pic, name63}, {pic + name63, ""}},
        {"file name of 64 bytes: 32 times 淺", 16, pic + name64, kRefused, {pic + name64, ""}},
    };
    Script({"write_files=0"});
    ASSERT_EQ(Open(), 1);
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Split& split = InCodePage936() ? c.cp936 : c.cp1252;
        const std::vector<char> request = MakeRequest(c.tag, c.path);
        EXPECT_EQ(client->CapturePicture(0, AsRequest(request)), split.refused ? 0 : 1);
        EXPECT_EQ(client->RequestRecordFile(0, AsRequest(request)), split.refused ? 0 : 1);
    }
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Split& split = InCodePage936() ? c.cp936 : c.cp1252;
        std::vector<std::uint32_t> codes;
        for (std::uint32_t code : {CMD_CAPTURE_PICTURE, CMD_RECORD_FILE}) {
            for (const JournalEntry& command : Commands(code)) {
                const CommandRecord sent = RecordOf(command);
                if (sent.tag != c.tag) continue;
                codes.push_back(code);
                EXPECT_EQ(command.Number("size"), 336);
                EXPECT_TRUE(SameRecord(sent, ExpectedRecord(c.tag, split)));
            }
        }
        const std::vector<std::uint32_t> expected =
            split.refused ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{2, 3};
        EXPECT_EQ(codes, expected);
    }
}

TEST(ApplicationDirectoryInSystemCodePage, CutsAtTheLastBackslashThatIsACharacterOfItsOwn) {
    const struct {
        const char* name;
        std::string exePath;
        std::string cp936;  // "" where there is no directory
        std::string cp1252;
    } cases[] = {
        {"D:\\监控\\淺灣.exe", "D:\\" + kJianKong + "\\" + kQian + kWan + ".exe", "D:\\" + kJianKong,
         "D:\\" + kJianKong + "\\\x9C"},
        {"D:\\监控\\淺\\app.exe", "D:\\" + kJianKong + "\\" + kQian + "\\app.exe", "D:\\" + kJianKong + "\\" + kQian,
         "D:\\" + kJianKong + "\\" + kQian},
        {"淺灣.exe: no directory in 936", kQian + kWan + ".exe", "", "\x9C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string& expected = InCodePage936() ? c.cp936 : c.cp1252;
        PathBuffer directory;
        std::memset(directory, 0xCC, sizeof directory);
        EXPECT_EQ(ApplicationDirectory(c.exePath.c_str(), directory, IsSystemLeadByte), !expected.empty());
        EXPECT_EQ(std::string(directory), expected);
    }
}

// A host installed in a folder named 淺, its executable named 淺灣.exe, with the DLL,
// the viewer simulator and the stand-in control beside it. Read byte-wise, the
// directory would end in the lead byte of 淺 and nothing would be found.
class HostInDoubleByteFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InCodePage936()) GTEST_SKIP() << "a name holding 淺 needs code page 936";
        EndAllViewers();
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        root_ = std::string(temp) + "nubix-cp936-" + std::to_string(GetCurrentProcessId());
        directory_ = root_ + "\\" + kQian;
        exe_ = directory_ + "\\" + kQian + kWan + ".exe";
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(directory_.c_str(), nullptr);
        CreateDirectoryA((directory_ + "\\ocx").c_str(), nullptr);
        CreateDirectoryA((directory_ + "\\ocx\\brindle").c_str(), nullptr);
        const std::pair<std::string, std::string> copies[] = {
            {HostPath("vsclient.exe"), exe_},
            {HostPath("NubixVSClient.dll"), directory_ + "\\NubixVSClient.dll"},
            {HostPath("Quil.exe"), directory_ + "\\Quil.exe"},
            {HostPath("ocx\\brindle\\VANTO.ocx"), directory_ + "\\ocx\\brindle\\VANTO.ocx"},
        };
        for (const auto& copy : copies) {
            ASSERT_TRUE(CopyFileA(copy.first.c_str(), copy.second.c_str(), FALSE)) << GbkToUtf8(copy.second);
        }
        // Unregistered, so that the open must find the control file beside the host.
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}");
        ClearLogs();
    }
    void TearDown() override {
        if (root_.empty()) return;
        EndAllViewers();
        // The other test programs need the control registered.
        DeleteControlKey();
        CreateControlKey();
        RemoveTree(root_);
    }

    // Runs the host with `arguments`, its output going to a file; returns its exit code.
    DWORD RunHost(const std::string& arguments, std::string& output) {
        const std::string outPath = root_ + "\\host.out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::string commandLine = "\"" + exe_ + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = out;
        PROCESS_INFORMATION process = {};
        const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                            directory_.c_str(), &startup, &process);
        CloseHandle(out);
        if (!started) {
            ADD_FAILURE() << "cannot start " << GbkToUtf8(commandLine);
            return 0xFFFFFFFF;
        }
        DWORD exitCode = 0xFFFFFFFF;
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the host did not end";
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        output = GbkToUtf8(ReadFileBytes(outPath.c_str()));
        return exitCode;
    }

    std::string root_;
    std::string directory_;
    std::string exe_;
};

TEST_F(HostInDoubleByteFolder, RegistersTheControlStartsTheViewerAndCapturesFromThere) {
    ViewerScript script;
    const std::string picture = directory_ + "\\" + kQian + kShui + ".bmp";  // ...\淺\淺水.bmp
    std::string output;
    EXPECT_EQ(RunHost("--server 192.168.1.20 --user admin --password secret capture 0 \"" + picture + "\"", output),
              0u)
        << output;

    // The control was registered from the folder, by its exact path.
    const std::string control = GbkToUtf8(directory_ + "\\ocx\\brindle\\VANTO.ocx");
    const std::string debug = " ◎◎ DEBUG ◎◎ ";
    std::vector<std::string> registration;
    for (const std::string& message : LevelLogMessages()) {
        if (message.find("regsvr32") != std::string::npos || message.find("控件{") != std::string::npos) {
            registration.push_back(message);
        }
    }
    EXPECT_EQ(registration, (std::vector<std::string>{
                                debug + "regsvr32 /s \"" + control + "\"",
                                debug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}注册成功 ！",
                                debug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}已经注册 ！",
                            }));

    // The viewer started from the folder took the capture, split at the folder's
    // backslash, and wrote the picture there.
    std::vector<JournalEntry> captures;
    for (JournalEntry& e : JournalEvents(script.JournalPath(), "command")) {
        if (e.Number("code") == CMD_CAPTURE_PICTURE) captures.push_back(e);
    }
    ASSERT_EQ(captures.size(), 1u);
    const Split expected{directory_ + "\\", kQian + kShui + ".bmp"};
    // The tag is vsclient's own choice; the split is what counts here.
    const CommandRecord sent = RecordOf(captures[0]);
    EXPECT_TRUE(SameRecord(sent, ExpectedRecord(sent.tag, expected)));
    EXPECT_EQ(ReadFileBytes(picture.c_str()).substr(0, 2), "BM");
}

}  // namespace
}  // namespace nubix::test
