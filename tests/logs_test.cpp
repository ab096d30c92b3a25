// The operation log c:\nv.log and the level log c:\vs.log: the pure line formatters,
// the bytes the writers put in the files (with a fixed clock), the lines a client's
// life writes, a log that cannot be opened, and the level log's 65536-call wrap.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "NubixVSClient.h"
#include "client/process_state.h"
#include "log/log_format.h"
#include "log/logs.h"
#include "support/log_files.h"

namespace nubix {
namespace {

using test::ClearLogs;
using test::kLevelLogPath;
using test::kOpLogPath;
using test::LevelLogMessages;
using test::OpLogTexts;
using test::ReadFileBytes;

// Expected GBK bytes, written out here rather than taken from the library.
// 命令号:
const std::string kCommandNumber = "\xC3\xFC\xC1\xEE\xBA\xC5:";
// 操作: (with its blank)
const std::string kOperation = "\xB2\xD9\xD7\xF7: ";
// 视频接口建立！
const std::string kCreatedGbk = "\xCA\xD3\xC6\xB5\xBD\xD3\xBF\xDA\xBD\xA8\xC1\xA2\xA3\xA1";
// 视频接口退出！
const std::string kExitedGbk = "\xCA\xD3\xC6\xB5\xBD\xD3\xBF\xDA\xCD\xCB\xB3\xF6\xA3\xA1";
// " ＃＃INFO ＃＃ "
const std::string kInfoMark = " \xA3\xA3\xA3\xA3" "INFO \xA3\xA3\xA3\xA3 ";
// " ◎◎ DEBUG ◎◎ "
const std::string kDebugMark = " \xA1\xF2\xA1\xF2 " "DEBUG \xA1\xF2\xA1\xF2 ";
// " ！！CRIT！！ "
const std::string kCritMark = " \xA3\xA1\xA3\xA1" "CRIT\xA3\xA1\xA3\xA1 ";
// " ※※FATAL※※ "
const std::string kFatalMark = " \xA1\xF9\xA1\xF9" "FATAL\xA1\xF9\xA1\xF9 ";
// "……"
const std::string kNoMark = "\xA1\xAD\xA1\xAD";
// 中, one GBK double-byte character
const std::string kZhong = "\xD6\xD0";
const std::string kBanner = "NubixVSCLient v1.00,2007-05-30";

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// The body of an operation-log line after its time stamp, as the file holds it.
std::string OpBody(int number, const std::string& text) {
    return kCommandNumber + std::to_string(number) + "  " + kOperation + text + "\r\n";
}

struct ClientRelease {
    void operator()(IVSClient* client) const { kesaReleaseVSClient(client); }
};
using Client = std::unique_ptr<IVSClient, ClientRelease>;

// ---------------------------------------------------------------------------------
// The pure formatters.

TEST(OpLogFormat, TimeStampShiftsOnlyTheHourAndPadsMilliseconds) {
    struct Case {
        UtcTime time;
        const char* stamp;
    } cases[] = {
        {{2007, 5, 30, 17, 4, 9, 45}, "[2007-5-30][1:4:9-  45]"},
        // Past 16:00 UTC the hour reads 0..7 beside the UTC date of that day.
        {{2007, 12, 31, 16, 30, 0, 0}, "[2007-12-31][0:30:0-   0]"},
        {{2007, 12, 31, 23, 59, 59, 7}, "[2007-12-31][7:59:59-   7]"},
        {{2008, 1, 1, 15, 0, 1, 999}, "[2008-1-1][23:0:1- 999]"},
        {{2008, 1, 1, 0, 0, 0, 10}, "[2008-1-1][8:0:0-  10]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stamp);
        char line[256];
        const std::size_t length = FormatOpLogLine(line, sizeof line, c.time, 0, "x");
        const std::string expected = std::string(c.stamp) + kCommandNumber + "0  " + kOperation + "x\n";
        EXPECT_EQ(std::string(line, length), expected);
        EXPECT_EQ(std::strlen(line), length);
    }
}

TEST(OpLogFormat, TextIsWrittenVerbatimAndTheNumberSigned) {
    const UtcTime t{2007, 5, 30, 17, 4, 9, 45};
    struct Case {
        int number;
        const char* text;
    } cases[] = {{0, "%s%d%n%x"}, {-7, "100%"}, {INT_MIN, ""}, {12, "%%"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char line[256];
        const std::size_t length = FormatOpLogLine(line, sizeof line, t, c.number, c.text);
        EXPECT_EQ(std::string(line, length), "[2007-5-30][1:4:9-  45]" + kCommandNumber +
                                                 std::to_string(c.number) + "  " + kOperation +
                                                 c.text + "\n");
    }
}

TEST(OpLogFormat, CutToCapacityWithNothingWrittenPastIt) {
    const UtcTime t{2007, 5, 30, 17, 4, 9, 45};
    const std::string full = "[2007-5-30][1:4:9-  45]" + kCommandNumber + "0  " + kOperation + "abc\n";
    for (std::size_t capacity : {std::size_t{1}, std::size_t{5}, std::size_t{23}, std::size_t{24},
                                 std::size_t{30}, full.size(), full.size() + 1}) {
        SCOPED_TRACE(capacity);
        std::vector<char> out(capacity + 8, '#');
        const std::size_t length = FormatOpLogLine(out.data(), capacity, t, 0, "abc");
        const std::size_t kept = std::min(full.size(), capacity - 1);
        EXPECT_EQ(length, kept);
        EXPECT_EQ(std::string(out.data(), length), full.substr(0, kept));
        EXPECT_EQ(out[kept], '\0');
        EXPECT_EQ(std::string(out.begin() + capacity, out.end()), std::string(8, '#'));
    }
    char untouched = '#';
    EXPECT_EQ(FormatOpLogLine(&untouched, 0, t, 0, "abc"), 0u);
    EXPECT_EQ(untouched, '#');
}

TEST(LevelLogFormat, LineHasTheFullDateAndTheDecoratedMessage) {
    char line[kLevelLineBytes];
    const UtcTime t{2007, 5, 30, 17, 4, 9, 0};
    const std::size_t length = FormatLevelLogLine(line, sizeof line, t, "msg");
    EXPECT_EQ(std::string(line, length), "2007-5-30-17-4-9 -- msg\n");
}

TEST(LevelLogFormat, EachLevelHasItsMark) {
    struct Case {
        int level;
        const std::string& mark;
    } cases[] = {{1, kInfoMark}, {3, kDebugMark}, {4, kCritMark}, {5, kFatalMark},
                 {2, kNoMark},   {0, kNoMark},    {-1, kNoMark},   {6, kNoMark},
                 {INT_MIN, kNoMark}, {INT_MAX, kNoMark}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        char buf2[kLevelBufferBytes];
        const std::size_t length = DecorateLevelMessage(buf2, c.level, "m%s");
        EXPECT_EQ(std::string(buf2, length), c.mark + "m%s");
    }
}

// A working buffer with guard bytes behind it, to see any write past its end.
struct GuardedBuffer {
    char buf[kLevelBufferBytes];
    char guard[16];
    GuardedBuffer() {
        std::memset(buf, '#', sizeof buf);
        std::memset(guard, '#', sizeof guard);
    }
    bool GuardIntact() const { return std::string(guard, sizeof guard) == std::string(16, '#'); }
};

std::size_t FormatLevel(char (&buf)[kLevelBufferBytes], const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::size_t length = FormatLevelMessage(buf, format, args);
    va_end(args);
    return length;
}

TEST(LevelLogFormat, MessageIsCutAt255BytesWithoutSplittingACharacter) {
    struct Case {
        const char* name;
        std::string text;
        std::string kept;
    } cases[] = {
        {"short", "abc", "abc"},
        {"exactly 255", std::string(255, 'a'), std::string(255, 'a')},
        {"ascii, 300", std::string(300, 'a'), std::string(255, 'a')},
        // 127 characters fill 254 bytes; the lead byte of the 128th would be byte 255.
        {"double-byte, 300", Repeat(kZhong, 150), Repeat(kZhong, 127)},
        // One byte in front moves the boundary: 127 characters end exactly at 255.
        {"a then double-byte", "a" + Repeat(kZhong, 150), "a" + Repeat(kZhong, 127)},
        {"mixed at the edge", std::string(253, 'a') + kZhong + kZhong, std::string(253, 'a') + kZhong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBuffer b;
        const std::size_t length = FormatLevel(b.buf, "%s", c.text.c_str());
        EXPECT_EQ(std::string(b.buf, length), c.kept);
        EXPECT_EQ(b.buf[length], '\0');
        EXPECT_TRUE(b.GuardIntact());
    }
}

TEST(LevelLogFormat, DecoratedMessageIsCutAt255BytesWithoutSplittingACharacter) {
    struct Case {
        const char* name;
        int level;
        std::string message;
        std::string kept;
    } cases[] = {
        // 4 mark bytes + 251 message bytes: the 126th character would be split.
        {"no mark, double-byte", 0, Repeat(kZhong, 127), kNoMark + Repeat(kZhong, 125)},
        // 15 mark bytes + 240 message bytes: exactly 120 characters.
        {"info, double-byte", 1, Repeat(kZhong, 127), kInfoMark + Repeat(kZhong, 120)},
        {"debug, ascii", 3, std::string(255, 'a'), kDebugMark + std::string(255 - 17, 'a')},
        {"crit, fits", 4, std::string(241, 'a'), kCritMark + std::string(241, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBuffer b;
        const std::size_t length = DecorateLevelMessage(b.buf, c.level, c.message.c_str());
        EXPECT_EQ(std::string(b.buf, length), c.kept);
        EXPECT_EQ(b.buf[length], '\0');
        EXPECT_TRUE(b.GuardIntact());
    }
}

TEST(LevelLogFormat, CutAtCharBoundary) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit;
        std::string kept;
    } cases[] = {
        {"shorter than the limit", "ab" + kZhong, 10, "ab" + kZhong},
        {"equal to the limit", "ab" + kZhong, 4, "ab" + kZhong},
        {"ascii", "abcdef", 3, "abc"},
        {"lead byte at the limit", "ab" + kZhong, 3, "ab"},
        {"character ends at the limit", "a" + kZhong + "b", 3, "a" + kZhong},
        // The trail byte 0xD0 lies in the lead-byte range: only a walk from the start
        // tells it apart.
        {"trail byte before the limit", "a" + kZhong + kZhong, 3, "a" + kZhong},
        {"limit zero", "abc", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        const std::size_t length = CutAtCharBoundary(&text[0], text.size(), c.limit);
        EXPECT_EQ(length, c.kept.size());
        EXPECT_EQ(std::string(text.c_str()), c.kept);
    }
}

// ---------------------------------------------------------------------------------
// The writers, with a clock the test sets.

UtcTime FixedNow{};
long long FixedSeconds = 0;
void FixedUtcNow(UtcTime* time) { *time = FixedNow; }
long long FixedCalendarSeconds() { return FixedSeconds; }
const LogClock kFixedClock{FixedUtcNow, FixedCalendarSeconds};

constexpr long long k20070530_170409 = 1180544649;  // 2007-05-30 17:04:09 UTC
constexpr long long k20080105_030201 = 1199502121;  // 2008-01-05 03:02:01 UTC

class FixedClockLogs : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLogs();
        FixedNow = UtcTime{2007, 5, 30, 17, 4, 9, 45};
        FixedSeconds = k20070530_170409;
        SetLogClockForTesting(&kFixedClock);
    }
    void TearDown() override {
        SetLogClockForTesting(nullptr);
        ClearLogs();
    }
};

TEST_F(FixedClockLogs, ClientLifeWritesExactlyTheseBytes) {
    Client client(kesaCreateVSClient());
    ASSERT_NE(client, nullptr);
    FixedNow = UtcTime{2007, 12, 31, 16, 30, 5, 7};
    client.reset();

    EXPECT_EQ(ReadFileBytes(kLevelLogPath), "2007-5-30-17-4-9 -- " + kInfoMark + kBanner + "\r\n");
    EXPECT_EQ(ReadFileBytes(kOpLogPath), "[2007-5-30][1:4:9-  45]" + OpBody(0, kCreatedGbk) +
                                             "[2007-12-31][0:30:5-   7]" + OpBody(0, kExitedGbk));
}

TEST_F(FixedClockLogs, OpLogLinesCarryTheShiftedHourAndPaddedMilliseconds) {
    Client client(kesaCreateVSClient());
    ASSERT_NE(client, nullptr);
    ClearLogs();
    struct Case {
        UtcTime time;
        const char* text;
    } cases[] = {
        {{2007, 12, 31, 16, 30, 0, 0}, "%s"},
        {{2007, 12, 31, 16, 30, 0, 7}, "%d"},
        {{2007, 12, 31, 16, 30, 0, 999}, "%s and %d and %n"},
        {{2007, 12, 31, 15, 59, 59, 500}, "100%"},
    };
    for (const Case& c : cases) {
        FixedNow = c.time;
        WriteOpLog(0, c.text);
    }
    EXPECT_EQ(ReadFileBytes(kOpLogPath), "[2007-12-31][0:30:0-   0]" + OpBody(0, "%s") +
                                             "[2007-12-31][0:30:0-   7]" + OpBody(0, "%d") +
                                             "[2007-12-31][0:30:0- 999]" +
                                             OpBody(0, "%s and %d and %n") +
                                             "[2007-12-31][23:59:59- 500]" + OpBody(0, "100%"));
}

TEST_F(FixedClockLogs, LevelLogLinesCarryTheMarkOfTheirLevel) {
    struct Case {
        int level;
        const std::string& mark;
    } cases[] = {{1, kInfoMark}, {3, kDebugMark}, {4, kCritMark}, {5, kFatalMark},
                 {2, kNoMark},   {0, kNoMark},    {-1, kNoMark},   {6, kNoMark}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ClearLogs();
        WriteLevelLog(c.level, "message");
        EXPECT_EQ(ReadFileBytes(kLevelLogPath), "2007-5-30-17-4-9 -- " + c.mark + "message\r\n");
    }
}

TEST_F(FixedClockLogs, LevelLogShowsTheCalendarYearAndMonthFromOne) {
    FixedSeconds = k20080105_030201;
    WriteLevelLog(1, "a");
    FixedSeconds = k20070530_170409;
    WriteLevelLog(2, "b");
    EXPECT_EQ(ReadFileBytes(kLevelLogPath), "2008-1-5-3-2-1 -- " + kInfoMark + "a\r\n" +
                                                "2007-5-30-17-4-9 -- " + kNoMark + "b\r\n");
}

TEST_F(FixedClockLogs, LevelLogFormatsItsArgumentsAndKeepsAPercentInThem) {
    WriteLevelLog(3, "%s", "regsvr32 /s \"C:\\100%d\\%s%n\\VANTO.ocx\"");
    WriteLevelLog(1, "%d-%s", -12, "x");
    EXPECT_EQ(ReadFileBytes(kLevelLogPath),
              "2007-5-30-17-4-9 -- " + kDebugMark + "regsvr32 /s \"C:\\100%d\\%s%n\\VANTO.ocx\"\r\n" +
                  "2007-5-30-17-4-9 -- " + kInfoMark + "-12-x\r\n");
}

TEST_F(FixedClockLogs, LevelLogCutsALongMessageBetweenCharacters) {
    WriteLevelLog(0, "%s", Repeat(kZhong, 150).c_str());
    WriteLevelLog(1, "%s", std::string(400, 'a').c_str());
    EXPECT_EQ(ReadFileBytes(kLevelLogPath),
              "2007-5-30-17-4-9 -- " + kNoMark + Repeat(kZhong, 125) + "\r\n" +
                  "2007-5-30-17-4-9 -- " + kInfoMark + std::string(240, 'a') + "\r\n");
}

// ---------------------------------------------------------------------------------
// A client's lines with the system clock: time stamps checked by their shape.

// Splits "STAMP" + rest off a line of raw file bytes; false when the stamp is not there.
bool SplitStamp(const std::string& line, const std::regex& stamp, std::smatch& match,
                std::string& rest) {
    if (!std::regex_search(line, match, stamp, std::regex_constants::match_continuous)) return false;
    rest = match.suffix().str();
    return true;
}

std::vector<std::string> SplitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0, end;
    while ((end = bytes.find("\r\n", start)) != std::string::npos) {
        lines.push_back(bytes.substr(start, end - start + 2));
        start = end + 2;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

int Field(const std::smatch& m, int i) { return std::atoi(m[i].str().c_str()); }

TEST(ClientLogs, CreateAndReleaseWriteTheBannerAndTwoOperationLines) {
    ClearLogs();
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    Client client(kesaCreateVSClient());
    ASSERT_NE(client, nullptr);
    client.reset();
    GetSystemTime(&after);

    const std::regex levelStamp(R"((\d{4})-(\d{1,2})-(\d{1,2})-(\d{1,2})-(\d{1,2})-(\d{1,2}) -- )");
    const std::vector<std::string> levelLines = SplitCrLf(ReadFileBytes(kLevelLogPath));
    ASSERT_EQ(levelLines.size(), 1u);
    std::smatch m;
    std::string rest;
    ASSERT_TRUE(SplitStamp(levelLines[0], levelStamp, m, rest)) << levelLines[0];
    EXPECT_EQ(rest, kInfoMark + kBanner + "\r\n");
    if (before.wDay == after.wDay) {
        EXPECT_EQ(Field(m, 1), before.wYear);
        EXPECT_EQ(Field(m, 2), before.wMonth);
        EXPECT_EQ(Field(m, 3), before.wDay);
    }
    EXPECT_LE(Field(m, 4), 23);
    EXPECT_LE(Field(m, 5), 59);
    EXPECT_LE(Field(m, 6), 60);

    const std::regex opStamp(R"(\[(\d{4})-(\d{1,2})-(\d{1,2})\]\[(\d{1,2}):(\d{1,2}):(\d{1,2})-([ \d]{4})\])");
    const std::vector<std::string> opLines = SplitCrLf(ReadFileBytes(kOpLogPath));
    ASSERT_EQ(opLines.size(), 2u);
    const std::string texts[] = {kCreatedGbk, kExitedGbk};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(SplitStamp(opLines[i], opStamp, m, rest)) << opLines[i];
        EXPECT_EQ(rest, OpBody(0, texts[i]));
        if (before.wDay == after.wDay) {
            EXPECT_EQ(Field(m, 1), before.wYear);
            EXPECT_EQ(Field(m, 2), before.wMonth);
            EXPECT_EQ(Field(m, 3), before.wDay);
        }
        if (before.wHour == after.wHour) EXPECT_EQ(Field(m, 4), (before.wHour + 8) % 24);
        EXPECT_LE(Field(m, 5), 59);
        EXPECT_LE(Field(m, 6), 59);
        // Right-aligned in four characters: blanks, then 1 to 3 digits.
        EXPECT_TRUE(std::regex_match(m[7].str(), std::regex(R"( +\d{1,3})"))) << m[7].str();
    }
}

// ---------------------------------------------------------------------------------
// An operation log that cannot be opened.

// Keeps c:\nv.log from being opened for as long as it lives.
class OpLogBlocker {
public:
    enum Kind { kDirectory, kHeldWithoutSharing };
    explicit OpLogBlocker(Kind kind) : kind_(kind) {
        if (kind == kDirectory) {
            blocked_ = CreateDirectoryA(kOpLogPath, nullptr) != FALSE;
        } else {
            handle_ = CreateFileA(kOpLogPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            blocked_ = handle_ != INVALID_HANDLE_VALUE;
        }
    }
    ~OpLogBlocker() { Unblock(); }
    bool Blocked() const { return blocked_; }
    void Unblock() {
        if (!blocked_) return;
        if (kind_ == kDirectory) {
            RemoveDirectoryA(kOpLogPath);
        } else {
            CloseHandle(handle_);
        }
        blocked_ = false;
    }

private:
    Kind kind_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool blocked_ = false;
};

// Whether another thread can take LogLock at once (and gives it back).
bool LogLockFreeForAnotherThread() {
    bool free = false;
    std::thread([&] {
        if (TryEnterCriticalSection(&LogLock)) {
            free = true;
            LeaveCriticalSection(&LogLock);
        }
    }).join();
    return free;
}

TEST(UnopenableOpLog, LosesTheLineButNotTheLock) {
    const struct {
        const char* name;
        OpLogBlocker::Kind kind;
    } cases[] = {{"a directory named c:\\nv.log", OpLogBlocker::kDirectory},
                 {"the file held open without sharing", OpLogBlocker::kHeldWithoutSharing}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLogs();
        OpLogBlocker blocker(c.kind);
        ASSERT_TRUE(blocker.Blocked());

        Client client(kesaCreateVSClient());
        ASSERT_NE(client, nullptr);
        WriteOpLog(0, "lost");
        // The two files are independent: the banner is there all the same.
        EXPECT_EQ(LevelLogMessages(),
                  std::vector<std::string>{" ＃＃INFO ＃＃ NubixVSCLient v1.00,2007-05-30"});
        ASSERT_TRUE(LogLockFreeForAnotherThread());

        blocker.Unblock();
        EXPECT_EQ(ReadFileBytes(kOpLogPath), "");
        std::thread([] { WriteOpLog(0, "from another thread"); }).join();
        client.reset();
        EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"from another thread", "视频接口退出！"}));
    }
    ClearLogs();
}

TEST(SharedLogFiles, AReaderHoldingBothFilesWithSharingStopsNoLine) {
    ClearLogs();
    HANDLE readers[2];
    const char* paths[2] = {kOpLogPath, kLevelLogPath};
    for (int i = 0; i < 2; ++i) {
        readers[i] = CreateFileA(paths[i], GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(readers[i], INVALID_HANDLE_VALUE);
    }
    Client client(kesaCreateVSClient());
    client.reset();
    for (HANDLE reader : readers) CloseHandle(reader);
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"视频接口建立！", "视频接口退出！"}));
    EXPECT_EQ(LevelLogMessages(),
              std::vector<std::string>{" ＃＃INFO ＃＃ NubixVSCLient v1.00,2007-05-30"});
    ClearLogs();
}

TEST(UnopenableOpLog, WithoutALiveClientNothingIsWritten) {
    ClearLogs();
    WriteOpLog(0, "no client");
    EXPECT_EQ(ReadFileBytes(kOpLogPath), "");
}

// ---------------------------------------------------------------------------------
// The level log's call counter: needs a process whose level log was never written,
// so these run in a process of their own and not in the main run.

std::size_t LineCount(const char* path) {
    const std::string bytes = ReadFileBytes(path);
    std::size_t count = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) {
        ++count;
    }
    return count;
}

// Holds c:\vs.log open without sharing, so that the writer's opens fail.
class LevelLogHeld {
public:
    LevelLogHeld()
        : handle_(CreateFileA(kLevelLogPath, GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~LevelLogHeld() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST(LevelLogWrap, EveryCall65536EmptiesTheFileAndWritesItsFirstLine) {
    ClearLogs();
    WriteLevelLog(3, "call 1");
    for (int call = 2; call <= 65534; ++call) WriteLevelLog(3, "filler");
    WriteLevelLog(3, "call 65535");
    EXPECT_EQ(LineCount(kLevelLogPath), 65535u);
    std::vector<std::string> messages = LevelLogMessages();
    ASSERT_EQ(messages.size(), 65535u);
    EXPECT_EQ(messages.front(), " ◎◎ DEBUG ◎◎ call 1");
    EXPECT_EQ(messages.back(), " ◎◎ DEBUG ◎◎ call 65535");

    WriteLevelLog(1, "call 65536");
    EXPECT_EQ(LevelLogMessages(), std::vector<std::string>{" ＃＃INFO ＃＃ call 65536"});
    WriteLevelLog(1, "call 65537");
    EXPECT_EQ(LevelLogMessages(), (std::vector<std::string>{" ＃＃INFO ＃＃ call 65536",
                                                             " ＃＃INFO ＃＃ call 65537"}));

    // Calls whose open fails advance the counter all the same.
    {
        LevelLogHeld held;
        ASSERT_TRUE(held.Held());
        for (int call = 65538; call <= 131071; ++call) WriteLevelLog(3, "lost");
    }
    EXPECT_EQ(LineCount(kLevelLogPath), 2u);
    WriteLevelLog(3, "call 131072");
    EXPECT_EQ(LevelLogMessages(), std::vector<std::string>{" ◎◎ DEBUG ◎◎ call 131072"});
    ClearLogs();
}

}  // namespace
}  // namespace nubix
