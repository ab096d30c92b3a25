// The viewer simulator, Quil.exe, on its own: this test plays the host. It owns a
// hidden window that stands for the library's notification window, starts the
// simulator from the host directory, finds it through the mapping, sends it commands
// and checks the answers, the results, the files and the journal.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "channel/command_record.h"
#include "channel/rendezvous.h"
#include "support/host_dir.h"
#include "support/log_files.h"

namespace nubix {
namespace {

using test::HostPath;
using test::JournalEntry;
using test::JournalEvents;
using test::ReadFileBytes;
using test::ReadJournal;

constexpr UINT kOpenResultMessage = 2033;
constexpr DWORD kSendBoundMs = 10000;
constexpr LRESULT kNoAnswer = -1;
constexpr int kWidth = 160;
constexpr int kHeight = 120;

// ---------------------------------------------------------------------------------
// The host's window and what reached it.

struct ResultMessage {
    ULONG_PTR code;
    DWORD size;
    HWND sender;
    std::string bytes;
    CommandRecord Record() const {
        CommandRecord record;
        std::memset(&record, 0, sizeof record);
        std::memcpy(&record, bytes.data(), bytes.size() < sizeof record ? bytes.size() : sizeof record);
        return record;
    }
};

struct Inbox {
    std::vector<std::pair<WPARAM, LPARAM>> openResults;
    std::vector<ResultMessage> results;
};

Inbox& TheInbox() {
    static Inbox inbox;
    return inbox;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kOpenResultMessage) {
        TheInbox().openResults.emplace_back(wParam, lParam);
        return 0;
    }
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        TheInbox().results.push_back(ResultMessage{data->dwData, data->cbData, reinterpret_cast<HWND>(wParam),
                                                   std::string(static_cast<const char*>(data->lpData), data->cbData)});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateHostWindow() {
    static const char kClass[] = "QuilSimulatorTestHost";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    return CreateWindowExA(0, kClass, "Host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
}

// ---------------------------------------------------------------------------------
// Records and files.

CommandRecord Request(int channel, int tag, const std::string& directory, const std::string& fileName) {
    CommandRecord record;
    std::memset(&record, 0, sizeof record);
    record.channel = channel;
    record.tag = tag;
    std::strncpy(record.directory, directory.c_str(), sizeof record.directory);
    std::strncpy(record.fileName, fileName.c_str(), sizeof record.fileName);
    return record;
}

OpenServerBlock Login() {
    OpenServerBlock login;
    std::memset(&login, 0, sizeof login);
    std::strcpy(login.address, "192.168.7.20");
    std::strcpy(login.user, "admin");
    std::strcpy(login.password, "pw 1");
    return login;
}

std::string Hex(const void* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

std::uint32_t Be32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) << 24 | static_cast<std::uint8_t>(b[at + 1]) << 16 |
           static_cast<std::uint8_t>(b[at + 2]) << 8 | static_cast<std::uint8_t>(b[at + 3]);
}

// Table-driven, unlike the simulator's own, so that one mistake cannot hide in both.
std::uint32_t Crc32(const std::string& data) {
    static std::uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        made = true;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::string& data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// Pixels top-down, RGB.
using Pixels = std::string;

::testing::AssertionResult DecodeBmp(const std::string& file, Pixels& pixels) {
    const std::uint32_t kPixelBytes = kWidth * kHeight * 3;
    if (file.size() < 54 || file.compare(0, 2, "BM") != 0) return ::testing::AssertionFailure() << "no BM header";
    if (Le32(file, 2) != file.size()) return ::testing::AssertionFailure() << "file size field " << Le32(file, 2);
    if (file.size() != 54 + kPixelBytes) return ::testing::AssertionFailure() << "file size " << file.size();
    if (Le32(file, 10) != 54) return ::testing::AssertionFailure() << "pixel offset " << Le32(file, 10);
    if (Le32(file, 14) != 40) return ::testing::AssertionFailure() << "info header size " << Le32(file, 14);
    if (Le32(file, 18) != kWidth || Le32(file, 22) != kHeight)
        return ::testing::AssertionFailure() << "dimensions " << Le32(file, 18) << "x" << Le32(file, 22);
    if (Le16(file, 26) != 1 || Le16(file, 28) != 24 || Le32(file, 30) != 0)
        return ::testing::AssertionFailure() << "planes/bits/compression " << Le16(file, 26) << "/" << Le16(file, 28)
                                             << "/" << Le32(file, 30);
    pixels.clear();
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t at = 54 + (static_cast<std::size_t>(y) * kWidth + x) * 3;
            pixels += file[at + 2];
            pixels += file[at + 1];
            pixels += file[at];
        }
    }
    return ::testing::AssertionSuccess();
}

// Checks every chunk's CRC and the zlib stream's framing and Adler-32. The
// simulator writes stored deflate blocks only, which is all this reader inflates.
::testing::AssertionResult DecodePng(const std::string& file, Pixels& pixels) {
    static const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
    if (file.compare(0, 8, kSignature) != 0) return ::testing::AssertionFailure() << "no PNG signature";
    static const std::string kEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    if (file.size() < 8 + 25 + 12 || file.compare(file.size() - 12, 12, kEnd) != 0)
        return ::testing::AssertionFailure() << "does not end with the IEND chunk";
    std::vector<std::string> types;
    std::string idat;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = Be32(file, at);
        if (at + 12 + length > file.size()) return ::testing::AssertionFailure() << "chunk runs past the end";
        const std::string typeAndData = file.substr(at + 4, 4 + length);
        if (Crc32(typeAndData) != Be32(file, at + 8 + length))
            return ::testing::AssertionFailure() << "bad CRC in " << typeAndData.substr(0, 4);
        types.push_back(typeAndData.substr(0, 4));
        if (types.back() == "IHDR") {
            const std::string expected("\0\0\0\xa0\0\0\0\x78\x08\x02\0\0\0", 13);
            if (typeAndData.substr(4) != expected) return ::testing::AssertionFailure() << "IHDR " << Hex(typeAndData.data() + 4, length);
        }
        if (types.back() == "IDAT") idat += typeAndData.substr(4);
        at += 12 + length;
    }
    if (at != file.size()) return ::testing::AssertionFailure() << "bytes after the last chunk";
    if (types.front() != "IHDR" || types.back() != "IEND") return ::testing::AssertionFailure() << "chunk order";

    if (idat.size() < 6) return ::testing::AssertionFailure() << "short zlib stream";
    const unsigned cmf = static_cast<std::uint8_t>(idat[0]), flg = static_cast<std::uint8_t>(idat[1]);
    if ((cmf & 15) != 8 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20) != 0)
        return ::testing::AssertionFailure() << "zlib header " << Hex(idat.data(), 2);
    std::string raw;
    std::size_t pos = 2;
    for (bool last = false; !last;) {
        if (pos + 5 > idat.size()) return ::testing::AssertionFailure() << "deflate block runs past the end";
        const unsigned header = static_cast<std::uint8_t>(idat[pos]);
        last = (header & 1) != 0;
        if ((header >> 1) != 0) return ::testing::AssertionFailure() << "not a stored block";
        const std::uint16_t len = Le16(idat, pos + 1), nlen = Le16(idat, pos + 3);
        if (static_cast<std::uint16_t>(~len) != nlen) return ::testing::AssertionFailure() << "LEN/NLEN mismatch";
        raw += idat.substr(pos + 5, len);
        pos += 5 + len;
    }
    if (pos + 4 != idat.size() || Be32(idat, pos) != Adler32(raw))
        return ::testing::AssertionFailure() << "Adler-32 or trailing bytes";
    if (raw.size() != static_cast<std::size_t>(kHeight) * (1 + kWidth * 3))
        return ::testing::AssertionFailure() << "scanline bytes " << raw.size();
    pixels.clear();
    for (int y = 0; y < kHeight; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * (1 + kWidth * 3);
        if (raw[row] != 0) return ::testing::AssertionFailure() << "filter type " << int(raw[row]) << " in row " << y;
        pixels += raw.substr(row + 1, kWidth * 3);
    }
    return ::testing::AssertionSuccess();
}

std::size_t DistinctColours(const Pixels& pixels) {
    std::set<std::string> colours;
    for (std::size_t i = 0; i + 3 <= pixels.size(); i += 3) colours.insert(pixels.substr(i, 3));
    return colours.size();
}

// ---------------------------------------------------------------------------------
// The fixture: one host window; each case scripts and starts its own viewers.

class ViewerSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EndAllViewers();
        TheInbox() = Inbox();
        host = CreateHostWindow();
        ASSERT_NE(host, nullptr);
        outDir = HostPath("quil-out");
        CreateDirectoryA(outDir.c_str(), nullptr);
        for (const char* name : {"a.bmp", "b.PNG", "c.png", "d.jpg", "noext", "rec.dat", "shot.bmp", "ch1.bmp",
                                 "ch2.bmp", "ch1.png", "neg.bmp"}) {
            DeleteFileA((outDir + "\\" + name).c_str());
        }
    }

    void TearDown() override {
        EndViewer();
        script.reset();
        DestroyWindow(host);
    }

    void Script(const std::vector<std::string>& lines) {
        EndViewer();
        script.reset();
        script = std::make_unique<test::ViewerScript>(lines);
        TheInbox() = Inbox();
    }

    // Starts Quil.exe as the library does and reads the command window from the
    // mapping (null when there is no mapping). Keeps the mapping and a handle on the
    // process until EndViewer.
    HWND StartViewer() {
        CloseMapping();
        const std::string command = "\"" + HostPath("Quil.exe") + "\"";
        EXPECT_GT(WinExec(command.c_str(), SW_HIDE), 31u);
        quilWindow = FindWindowA(nullptr, "QUIL");
        DWORD pid = 0;
        if (quilWindow != nullptr) GetWindowThreadProcessId(quilWindow, &pid);
        process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRendezvousName);
        if (mapping == nullptr) return nullptr;
        view = static_cast<RendezvousBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (view == nullptr) return nullptr;
        return reinterpret_cast<HWND>(static_cast<INT_PTR>(view->viewerWindow));
    }

    void EndViewer() {
        test::EndAllViewers();
        CloseMapping();
        if (process != nullptr) CloseHandle(process);
        process = nullptr;
    }

    void CloseMapping() {
        if (view != nullptr) UnmapViewOfFile(view);
        if (mapping != nullptr) CloseHandle(mapping);
        view = nullptr;
        mapping = nullptr;
    }

    // The viewer's answer, or kNoAnswer when it gives none within the bound.
    LRESULT Send(HWND viewer, ULONG_PTR code, const void* data, DWORD size, DWORD boundMs = kSendBoundMs) {
        COPYDATASTRUCT copyData{code, size, const_cast<void*>(data)};
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(host),
                                 reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL, boundMs, &answer)) {
            return kNoAnswer;
        }
        return static_cast<LRESULT>(answer);
    }

    LRESULT SendRecord(HWND viewer, std::uint32_t code, const CommandRecord& record) {
        return Send(viewer, code, &record, sizeof record);
    }

    bool WaitForResults(std::size_t count) {
        return test::PumpUntil([count] { return TheInbox().results.size() >= count; });
    }

    // The viewer's exit code once it has ended, or -1 when it is still running.
    long ExitCodeAfterEnd() {
        if (process == nullptr || WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        return static_cast<long>(code);
    }

    std::vector<JournalEntry> Journal(const std::string& event) const {
        return JournalEvents(script->JournalPath(), event);
    }

    std::vector<long long> Values(const std::string& event, const std::string& key) const {
        std::vector<long long> values;
        for (const JournalEntry& e : Journal(event)) values.push_back(e.Number(key));
        return values;
    }

    std::string Out(const std::string& name) const { return outDir + "\\" + name; }

    HWND host = nullptr;
    HWND quilWindow = nullptr;
    HANDLE process = nullptr;
    HANDLE mapping = nullptr;
    RendezvousBlock* view = nullptr;
    std::string outDir;
    std::unique_ptr<test::ViewerScript> script;
};

// ---------------------------------------------------------------------------------
// Start, rendezvous and quit.

TEST_F(ViewerSimulatorTest, PublishesItsHiddenQuilWindowInTheMappingAndJournalsTheStart) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer, quilWindow);
    EXPECT_FALSE(IsWindowVisible(viewer));
    EXPECT_EQ(GetAncestor(viewer, GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(view->clientWindow, 0);
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer, &pid);
    EXPECT_NE(pid, GetCurrentProcessId());
    EXPECT_EQ(ReadFileBytes(script->JournalPath().c_str()), "start pid=" + std::to_string(pid) + " instance=1\r\n");
}

TEST_F(ViewerSimulatorTest, ReusesAnExistingMappingAndWritesOnlyOffsetZero) {
    Script({});
    HANDLE own = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, kRendezvousName);
    ASSERT_NE(own, nullptr);
    auto* block = static_cast<RendezvousBlock*>(MapViewOfFile(own, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(block, nullptr);
    block->viewerWindow = 0x0BADF00D;
    block->clientWindow = 0x12345678;
    HWND viewer = StartViewer();
    EXPECT_EQ(viewer, quilWindow);
    EXPECT_EQ(block->viewerWindow, static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(quilWindow)));
    EXPECT_EQ(block->clientWindow, 0x12345678);
    UnmapViewOfFile(block);
    CloseHandle(own);
}

TEST_F(ViewerSimulatorTest, ScriptedMappingIsSkippedOrCarriesAZeroHandle) {
    Script({"mapping=skip"});
    EXPECT_EQ(StartViewer(), nullptr);
    EXPECT_EQ(mapping, nullptr) << "mapping=skip must leave no mapping to open";
    EXPECT_NE(quilWindow, nullptr) << "the window exists all the same";

    Script({"handle=zero"});
    EXPECT_EQ(StartViewer(), nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->viewerWindow, 0);
    EXPECT_NE(quilWindow, nullptr);
}

TEST_F(ViewerSimulatorTest, QuitMessageEndsTheProcessWithCodeZeroAfterAQuitLine) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(PostMessageA(viewer, WM_QUIT, 0, 0));
    EXPECT_EQ(ExitCodeAfterEnd(), 0);
    const std::vector<JournalEntry> journal = ReadJournal(script->JournalPath());
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].event, "start");
    EXPECT_EQ(journal[1].event, "quit");
    EXPECT_TRUE(journal[1].fields.empty());
}

// ---------------------------------------------------------------------------------
// The open command.

TEST_F(ViewerSimulatorTest, OpenCommandSendsTheScriptedOpenResultBeforeItsAnswer) {
    struct Case {
        std::vector<std::string> script;
        LRESULT answer;
        std::vector<std::pair<WPARAM, LPARAM>> openResults;
    };
    const Case cases[] = {
        {{}, 1, {{1, 1}}},
        {{"open=refuse"}, 0, {{1, 1}}},
        {{"open_result=failure"}, 1, {{1, 0}}},
        {{"open_result=none"}, 1, {}},
        {{"open=refuse", "open_result=none"}, 0, {}},
    };
    const OpenServerBlock login = Login();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.empty() ? "good viewer" : c.script[0]);
        Script(c.script);
        HWND viewer = StartViewer();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(Send(viewer, CMD_OPEN_SERVER, &login, sizeof login), c.answer);
        // No pumping: a sent open result has been handled by the time the send returns.
        EXPECT_EQ(TheInbox().openResults, c.openResults);

        const std::vector<JournalEntry> commands = Journal("command");
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].Number("code"), 1);
        EXPECT_EQ(commands[0].Number("size"), 132);
        EXPECT_EQ(commands[0].Number("wparam"), static_cast<long long>(reinterpret_cast<INT_PTR>(host)));
        EXPECT_EQ(commands[0].Get("hex"), Hex(&login, sizeof login));
        EXPECT_EQ(Values("answer", "value"), std::vector<long long>{c.answer});
        EXPECT_TRUE(Journal("result").empty());
    }
}

// ---------------------------------------------------------------------------------
// Capture and record-file commands of a good viewer.

TEST_F(ViewerSimulatorTest, CaptureIsAnsweredFirstAndItsResultSentLaterWithTheRecordEchoed) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    const CommandRecord request = Request(3, 41, outDir + "\\", "shot.bmp");
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, request), 1);
    EXPECT_TRUE(TheInbox().results.empty()) << "the result must not come from inside the command";

    ASSERT_TRUE(WaitForResults(1));
    const ResultMessage& result = TheInbox().results[0];
    EXPECT_EQ(result.code, 2u);
    EXPECT_EQ(result.size, 336u);
    EXPECT_EQ(result.sender, viewer);
    CommandRecord expected = request;
    expected.result = 1;
    EXPECT_EQ(Hex(result.bytes.data(), result.bytes.size()), Hex(&expected, sizeof expected));
    Pixels pixels;
    EXPECT_TRUE(DecodeBmp(ReadFileBytes(Out("shot.bmp").c_str()), pixels));

    const std::vector<JournalEntry> journal = ReadJournal(script->JournalPath());
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[1].event, "command");
    EXPECT_EQ(journal[1].Get("hex"), Hex(&request, sizeof request));
    EXPECT_EQ(journal[2].event, "answer");
    EXPECT_EQ(journal[2].fields, (std::map<std::string, std::string>{{"code", "2"}, {"value", "1"}}));
    EXPECT_EQ(journal[3].event, "result");
    EXPECT_EQ(journal[3].fields, (std::map<std::string, std::string>{{"code", "2"},
                                                                       {"channel", "3"},
                                                                       {"tag", "41"},
                                                                       {"result", "1"},
                                                                       {"path", Out("shot.bmp")}}));
}

TEST_F(ViewerSimulatorTest, PictureIsPngForAPngExtensionOfAnyCaseAndBmpOtherwise) {
    struct Case {
        const char* name;
        bool png;
    };
    const Case cases[] = {{"a.bmp", false}, {"b.PNG", true}, {"c.png", true}, {"d.jpg", false}, {"noext", false}};
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    for (const Case& c : cases) {
        EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(2, 0, outDir + "\\", c.name)), 1);
    }
    ASSERT_TRUE(WaitForResults(std::size(cases)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = ReadFileBytes(Out(c.name).c_str());
        Pixels pixels;
        EXPECT_TRUE(c.png ? DecodePng(file, pixels) : DecodeBmp(file, pixels));
    }
}

TEST_F(ViewerSimulatorTest, PictureShowsItsChannelTheSameInBmpAndPng) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 0, outDir + "\\", "ch1.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 0, outDir + "\\", "ch1.png")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(2, 0, outDir + "\\", "ch2.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(-2147483647 - 1, 0, outDir + "\\", "neg.bmp")), 1);
    ASSERT_TRUE(WaitForResults(4));
    Pixels bmp1, png1, bmp2, negative;
    ASSERT_TRUE(DecodeBmp(ReadFileBytes(Out("ch1.bmp").c_str()), bmp1));
    ASSERT_TRUE(DecodePng(ReadFileBytes(Out("ch1.png").c_str()), png1));
    ASSERT_TRUE(DecodeBmp(ReadFileBytes(Out("ch2.bmp").c_str()), bmp2));
    ASSERT_TRUE(DecodeBmp(ReadFileBytes(Out("neg.bmp").c_str()), negative));
    EXPECT_TRUE(bmp1 == png1) << "the same picture, whatever the format";
    EXPECT_FALSE(bmp1 == bmp2) << "the channel number is drawn";
    EXPECT_FALSE(negative == bmp2);
    EXPECT_GE(DistinctColours(bmp1), 8u) << "colour bars";
    // Top-left is the first (white) bar: a mix-up of row order or of RGB/BGR shows.
    EXPECT_EQ(Hex(bmp1.data(), 3), "ffffff");
    EXPECT_EQ(Hex(bmp1.data() + (kWidth - 1) * 3, 3), "000000");
    EXPECT_EQ(Hex(bmp1.data() + 5 * 20 * 3, 3), "ff0000") << "the sixth bar is red";
}

TEST_F(ViewerSimulatorTest, RecordFileIsWrittenAndReported) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    const CommandRecord request = Request(5, 77, outDir + "\\", "rec.dat");
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, request), 1);
    ASSERT_TRUE(WaitForResults(1));
    CommandRecord expected = request;
    expected.result = 1;
    EXPECT_EQ(TheInbox().results[0].code, 3u);
    EXPECT_EQ(TheInbox().results[0].bytes, std::string(reinterpret_cast<const char*>(&expected), sizeof expected));
    const std::string file = ReadFileBytes(Out("rec.dat").c_str());
    EXPECT_EQ(file.compare(0, 30, "QUIL RECORD channel=5 tag=77\r\n"), 0) << file.substr(0, 40);
    EXPECT_EQ(Values("result", "result"), std::vector<long long>{1});
}

TEST_F(ViewerSimulatorTest, FileThatCannotBeWrittenGivesResultZero) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    const std::string missing = outDir + "\\no-such-dir\\";
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 10, missing, "x.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, Request(1, 11, missing, "x.dat")), 1);
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(TheInbox().results[0].Record().result, 0);
    EXPECT_EQ(TheInbox().results[1].Record().result, 0);
    EXPECT_EQ(Values("result", "result"), (std::vector<long long>{0, 0}));
    EXPECT_EQ(Values("result", "tag"), (std::vector<long long>{10, 11}));
}

TEST_F(ViewerSimulatorTest, PathsAreJoinedAsGivenRelativeToTheViewersDirectoryAndJournalledWithoutSpaces) {
    Script({});
    const std::string spaced = outDir + "\\with space\\";
    CreateDirectoryA(spaced.c_str(), nullptr);
    DeleteFileA((spaced + "my shot.bmp").c_str());
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const std::string relative = std::string(cwd) + "\\quil-relative.bmp";
    DeleteFileA(relative.c_str());

    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 1, "", "quil-relative.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 2, spaced, "my shot.bmp")), 1);
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_TRUE(FileExists(relative));
    EXPECT_TRUE(FileExists(spaced + "my shot.bmp"));
    const std::vector<JournalEntry> results = Journal("result");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].Get("path"), "quil-relative.bmp");
    EXPECT_EQ(results[1].Get("path"), outDir + "\\with%20space\\my%20shot.bmp");
    EXPECT_EQ(results[1].Number("result"), 1);
    DeleteFileA(relative.c_str());
}

TEST_F(ViewerSimulatorTest, ChannelSwitchIsTakenWithoutResultOrFile) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(4, 0, "", "")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(4, 9, outDir + "\\", "shot.bmp")), 1);
    // Results go out in order: the first to arrive is the capture's.
    ASSERT_TRUE(WaitForResults(1));
    EXPECT_EQ(TheInbox().results[0].Record().tag, 9);
    test::PumpFor(300);
    EXPECT_EQ(TheInbox().results.size(), 1u);
    EXPECT_EQ(Values("answer", "value"), (std::vector<long long>{1, 1}));
    EXPECT_EQ(Values("result", "tag"), std::vector<long long>{9});
}

TEST_F(ViewerSimulatorTest, OtherCommandCodesAreRefusedButJournalled) {
    Script({});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    const char bytes[3] = {'\x01', '\xab', '\x00'};
    EXPECT_EQ(Send(viewer, 0, bytes, sizeof bytes), 0);
    EXPECT_EQ(Send(viewer, 4, bytes, sizeof bytes), 0);
    EXPECT_EQ(Send(viewer, 0xFFFFFFFFu, nullptr, 0), 0);
    EXPECT_EQ(Values("command", "code"), (std::vector<long long>{0, 4, -1}));
    EXPECT_EQ(Journal("command")[0].Get("hex"), "01ab00");
    EXPECT_EQ(Journal("command")[2].Get("hex"), "");
    EXPECT_EQ(Values("answer", "value"), (std::vector<long long>{0, 0, 0}));
    EXPECT_EQ(Values("answer", "code"), (std::vector<long long>{0, 4, -1}));
    test::PumpFor(200);
    EXPECT_TRUE(TheInbox().results.empty());
}

// ---------------------------------------------------------------------------------
// Scripted behaviour.

TEST_F(ViewerSimulatorTest, AcceptListsAnswerEachCommandInTurnAndRepeatTheirLastItem) {
    struct Case {
        std::vector<std::string> script;
        std::uint32_t code;
        std::vector<LRESULT> answers;
    };
    const Case cases[] = {
        {{"capture=accept,refuse"}, CMD_CAPTURE_PICTURE, {1, 0, 0}},
        {{"capture=refuse,accept"}, CMD_CAPTURE_PICTURE, {0, 1, 1}},
        {{"record=refuse"}, CMD_RECORD_FILE, {0, 0}},
        {{"record=accept,refuse,accept"}, CMD_RECORD_FILE, {1, 0, 1, 1}},
        // A list for the other kind, comments, blank lines and unknown keys change nothing.
        {{"# capture=refuse", "", "record=refuse", "colour=blue"}, CMD_CAPTURE_PICTURE, {1, 1}},
        // Later lines win.
        {{"capture=refuse", "capture=accept"}, CMD_CAPTURE_PICTURE, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script[0]);
        Script(c.script);
        HWND viewer = StartViewer();
        ASSERT_NE(viewer, nullptr);
        std::vector<LRESULT> answers;
        std::vector<long long> acceptedTags;
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            const int tag = static_cast<int>(i + 1);
            answers.push_back(SendRecord(viewer, c.code, Request(1, tag, outDir + "\\", "rec.dat")));
            if (c.answers[i] == 1) acceptedTags.push_back(tag);
        }
        EXPECT_EQ(answers, c.answers);
        ASSERT_TRUE(WaitForResults(acceptedTags.size()));
        test::PumpFor(200);
        std::vector<long long> resultTags;
        for (const ResultMessage& r : TheInbox().results) resultTags.push_back(r.Record().tag);
        EXPECT_EQ(resultTags, acceptedTags) << "a refused command gets no result";
    }
}

TEST_F(ViewerSimulatorTest, ScriptedResultValuesAndFileWriting) {
    struct Case {
        std::vector<std::string> script;
        std::uint32_t code;
        std::int32_t result;
        bool file;
    };
    const Case cases[] = {
        {{"picture_result=2"}, CMD_CAPTURE_PICTURE, 2, true},
        {{"picture_result=0"}, CMD_CAPTURE_PICTURE, 0, true},
        {{"record_result=7"}, CMD_RECORD_FILE, 7, true},
        {{"record_result=-1"}, CMD_RECORD_FILE, -1, true},
        {{"picture_result=5"}, CMD_RECORD_FILE, 1, true},
        {{"write_files=0"}, CMD_CAPTURE_PICTURE, 1, false},
        {{"write_files=0", "record_result=3"}, CMD_RECORD_FILE, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.back());
        Script(c.script);
        DeleteFileA(Out("a.bmp").c_str());
        HWND viewer = StartViewer();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(SendRecord(viewer, c.code, Request(6, 60, outDir + "\\", "a.bmp")), 1);
        ASSERT_TRUE(WaitForResults(1));
        EXPECT_EQ(TheInbox().results[0].Record().result, c.result);
        EXPECT_EQ(TheInbox().results[0].code, c.code);
        EXPECT_EQ(FileExists(Out("a.bmp")), c.file);
        EXPECT_EQ(Values("result", "result"), std::vector<long long>{c.result});
    }
}

TEST_F(ViewerSimulatorTest, ResultsNoneTakesCommandsAndSendsNothing) {
    Script({"results=none"});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 1, outDir + "\\", "a.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, Request(1, 2, outDir + "\\", "rec.dat")), 1);
    test::PumpFor(500);
    EXPECT_TRUE(TheInbox().results.empty());
    EXPECT_TRUE(Journal("result").empty());
    EXPECT_FALSE(FileExists(Out("a.bmp")));
}

TEST_F(ViewerSimulatorTest, BurstRepeatsEachRecordFileResultOnly) {
    Script({"burst=3"});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, Request(2, 20, outDir + "\\", "rec.dat")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(2, 21, outDir + "\\", "a.bmp")), 1);
    ASSERT_TRUE(WaitForResults(4));
    test::PumpFor(200);
    const std::vector<ResultMessage>& results = TheInbox().results;
    ASSERT_EQ(results.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(results[i].code, 3u);
        EXPECT_EQ(results[i].bytes, results[0].bytes);
    }
    EXPECT_EQ(results[3].code, 2u);
    EXPECT_EQ(Values("result", "tag"), (std::vector<long long>{20, 20, 20, 21}));
}

TEST_F(ViewerSimulatorTest, ResultDelayKeepsTheViewerTakingCommands) {
    Script({"result_delay_ms=3000"});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 1, outDir + "\\", "a.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, Request(1, 2, outDir + "\\", "rec.dat")), 1);
    EXPECT_TRUE(TheInbox().results.empty());
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(TheInbox().results[0].Record().tag, 1);
    EXPECT_EQ(TheInbox().results[1].Record().tag, 2);
}

TEST_F(ViewerSimulatorTest, HangAndExitStopTheNthCommandOfTheirKindAfterJournallingIt) {
    struct Case {
        std::vector<std::string> script;
        std::uint32_t code;
        int nth;  // the command of that kind that is never answered
        bool exits;
    };
    const Case cases[] = {
        {{"hang=capture:2"}, CMD_CAPTURE_PICTURE, 2, false},
        {{"hang=record"}, CMD_RECORD_FILE, 1, false},
        {{"hang=open"}, CMD_OPEN_SERVER, 1, false},
        {{"exit=record:3"}, CMD_RECORD_FILE, 3, true},
        {{"exit=open:1"}, CMD_OPEN_SERVER, 1, true},
        // Counted per kind: a record command does not count towards capture:2.
        {{"exit=capture:2", "hang=record:9"}, CMD_CAPTURE_PICTURE, 2, true},
    };
    const OpenServerBlock login = Login();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script[0]);
        Script(c.script);
        HWND viewer = StartViewer();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE == c.code ? CMD_CAPTURE_PICTURE : CMD_RECORD_FILE,
                             Request(1, 0, outDir + "\\", "rec.dat")),
                  1);
        for (int i = 1; i <= c.nth; ++i) {
            const CommandRecord request = Request(1, i, outDir + "\\", "rec.dat");
            const void* data = c.code == CMD_OPEN_SERVER ? static_cast<const void*>(&login) : &request;
            const DWORD size = c.code == CMD_OPEN_SERVER ? sizeof login : sizeof request;
            const LRESULT answer = Send(viewer, c.code, data, size, i == c.nth ? 1000 : kSendBoundMs);
            EXPECT_EQ(answer, i == c.nth ? kNoAnswer : 1) << "command " << i;
        }
        if (c.exits) {
            EXPECT_EQ(ExitCodeAfterEnd(), 3);
        } else {
            EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
        }
        EXPECT_EQ(Journal("command").size(), static_cast<std::size_t>(c.nth + 1));
        EXPECT_EQ(Journal("answer").size(), static_cast<std::size_t>(c.nth));
        // The open result would come before the answer: a stopped open sends none.
        EXPECT_EQ(TheInbox().openResults.size(), c.code == CMD_OPEN_SERVER ? c.nth - 1u : 0u);
    }
}

TEST_F(ViewerSimulatorTest, NumberedKeysApplyToTheirInstanceAndBeatUnnumberedOnes) {
    // Unnumbered lines come last, so that "later wins" alone cannot pass.
    Script({"2.open=accept", "3.open_result=none", "2.bogus=1", "open=refuse", "open_result=failure"});
    struct Expected {
        LRESULT answer;
        std::vector<std::pair<WPARAM, LPARAM>> openResults;
    };
    const Expected instances[] = {{0, {{1, 0}}}, {1, {{1, 0}}}, {0, {}}};
    const OpenServerBlock login = Login();
    for (const Expected& expected : instances) {
        TheInbox() = Inbox();
        HWND viewer = StartViewer();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(Send(viewer, CMD_OPEN_SERVER, &login, sizeof login), expected.answer);
        EXPECT_EQ(TheInbox().openResults, expected.openResults);
        EndViewer();
    }
    EXPECT_EQ(Values("start", "instance"), (std::vector<long long>{1, 2, 3}));
    EXPECT_EQ(Values("answer", "value"), (std::vector<long long>{0, 1, 0}));
    EXPECT_EQ(Journal("quit").size(), 3u);
}

TEST_F(ViewerSimulatorTest, FastModeSendsResultsWithoutJournalOrFiles) {
    Script({"fast=1", "write_files=1", "result_delay_ms=60000"});
    HWND viewer = StartViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(SendRecord(viewer, CMD_CAPTURE_PICTURE, Request(1, 1, outDir + "\\", "a.bmp")), 1);
    EXPECT_EQ(SendRecord(viewer, CMD_RECORD_FILE, Request(1, 2, outDir + "\\", "rec.dat")), 1);
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(TheInbox().results[0].Record().result, 1);
    EXPECT_EQ(TheInbox().results[1].Record().result, 1);
    EXPECT_FALSE(FileExists(Out("a.bmp")));
    EXPECT_FALSE(FileExists(Out("rec.dat")));
    EndViewer();
    EXPECT_FALSE(FileExists(script->JournalPath()));
}

}  // namespace
}  // namespace nubix
