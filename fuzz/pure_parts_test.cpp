// The library's pure parts, natively under AddressSanitizer and
// UndefinedBehaviorSanitizer: every input kept in the fuzz corpus (the seeds and
// the regression inputs of faults the fuzzers found) still satisfies its properties.
#include <gtest/gtest.h>

#include <dirent.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "channel/command_record.h"
#include "client/app_paths.h"
#include "code_pages.h"
#include "fuzz_input.h"
#include "log/log_format.h"
#include "properties.h"

namespace nubix::fuzz {
namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

std::vector<std::string> CorpusFiles(const std::string& target) {
    std::vector<std::string> files;
    const std::string dir = std::string(NUBIX_FUZZ_CORPUS) + "/" + target;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    return files;
}

TEST(Corpus, EveryKeptInputSatisfiesItsProperties) {
    using Check = std::string (*)(const std::uint8_t*, std::size_t);
    const struct {
        const char* target;
        Check check;
    } targets[] = {
        {"command_record", CommandRecordViolation}, {"inbound_result", InboundResultViolation},
        {"record_params", RecordParamsViolation},   {"mac_text", MacTextViolation},
        {"level_log", LevelLogViolation},           {"op_log_line", OpLogLineViolation},
        {"app_paths", AppPathsViolation},
    };
    for (const auto& t : targets) {
        const std::vector<std::string> files = CorpusFiles(t.target);
        EXPECT_FALSE(files.empty()) << t.target << " has no corpus";
        for (const std::string& file : files) {
            const std::vector<std::uint8_t> bytes = ReadBytes(file);
            EXPECT_EQ(t.check(bytes.data(), bytes.size()), "") << file;
        }
    }
}

// A block shorter than its header, or whose length is out of bounds, is refused
// after reading its length alone: each block here is a heap block of exactly the
// bytes shown, so reading the tag of the first two would be reported.
TEST(RequestBlock, OutOfBoundsLengthIsRefusedWithoutReadingFurther) {
    const std::vector<std::uint8_t> blocks[] = {
        {0x04, 0x00, 0x00, 0x00},
        {0x06, 0x00, 0x00, 0x00, 0xAA, 0xBB},
        {0xFF, 0xFF, 0xFF, 0xFF},
        {0x09, 0x03, 0x00, 0x00},  // 777
    };
    for (const std::vector<std::uint8_t>& bytes : blocks) {
        ExactBlock block(bytes.data(), bytes.size());
        CommandRecord record;
        std::memset(&record, 0xCC, sizeof record);
        EXPECT_FALSE(BuildCommandRecord(1, block.Get(), record)) << bytes.size() << " bytes";
        EXPECT_TRUE(AllZero(&record, sizeof record));
    }
}

// A request block holding `path` and its zero.
std::vector<std::uint8_t> RequestFor(const std::string& path) {
    const std::int32_t total = static_cast<std::int32_t>(8 + path.size() + 1);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total), 0);
    std::memcpy(bytes.data(), &total, 4);
    std::memcpy(bytes.data() + 8, path.data(), path.size());
    return bytes;
}

// In a double-byte code page the second byte of a character may be 0x5C; the split
// is at the last backslash that is a character of its own. Texts are in the code
// page named: 淺 is 9C 5C in GBK, 許 B3 5C and 功 A5 5C in Big5, 表 95 5C and ソ 83 5C
// in Shift-JIS; none of them has double-byte characters in 1252.
TEST(PathSplit, SplitsAtTheLastBackslashThatIsACharacterOfItsOwn) {
    const CodePage& none = kCodePages[0];
    const CodePage& gbk = kCodePages[1];
    const CodePage& big5 = kCodePages[2];
    const CodePage& sjis = kCodePages[3];
    const struct {
        const CodePage& codePage;
        std::string directory;  // of the request, with its backslash
        std::string fileName;
    } cases[] = {
        {none, "D:\\pic\\", "a.jpg"},
        {gbk, "D:\\pic\\", "a.jpg"},
        {gbk, "C:\\pic\\", "\x9C\x5C\xCB\xAE.jpg"},                 // 淺水.jpg
        {none, "C:\\pic\\\x9C\x5C", "\xCB\xAE.jpg"},                 // the same bytes
        {gbk, "D:\\\xC2\xBC\xCF\xF1\\\x9C\x5C\\", "a.jpg"},     // D:\录像\淺\ a.jpg
        {gbk, "", "\x9C\x5C\x87\x5C\x8C\x5C.jpg"},                    // 淺嘰孿.jpg
        {none, "\x9C\x5C\x87\x5C\x8C\x5C", ".jpg"},
        {gbk, "C:\\pic\\", "a\x9C\x5C"},                              // a淺: ends with 0x5C
        {none, "C:\\pic\\a\x9C\x5C", ""},
        {big5, "\\v\\", "\xB3\x5C\xA5\x5C.avi"},                    // 許功.avi
        {sjis, "E:\\\x95\x5C\\", "\x83\x5C.bmp"},                   // E:\表\ ソ.bmp
        {sjis, "C:\\pic\\\xA1\x5C", ""},                              // A1 is a single-byte kana
        {gbk, "C:\\pic\\", "\xA1\x5C"},                               // and a lead byte in GBK
        {gbk, "C:\\pic\\", "\x9C"},                                    // a lead byte with nothing after it
        {gbk, "C:\\pic\\", "\x9C\x5C\x9C"},
    };
    for (const auto& c : cases) {
        const std::string path = c.directory + c.fileName;
        SCOPED_TRACE(std::string(c.codePage.name) + ": " + path);
        const std::vector<std::uint8_t> bytes = RequestFor(path);
        ExactBlock block(bytes.data(), bytes.size());
        CommandRecord record;
        ASSERT_TRUE(BuildCommandRecord(1, block.Get(), record, c.codePage.isLeadByte));
        EXPECT_EQ(std::string(record.directory), c.directory);
        EXPECT_EQ(std::string(record.fileName), c.fileName);

        // The executable's directory is the same text without its backslash.
        PathBuffer directory;
        EXPECT_EQ(ApplicationDirectory(path.c_str(), directory, c.codePage.isLeadByte), !c.directory.empty());
        EXPECT_EQ(std::string(directory), c.directory.substr(0, c.directory.empty() ? 0 : c.directory.size() - 1));
    }
}

// The file-name limit is judged on the true split: 32 characters of 淺 are a 64-byte
// name in GBK, but byte-wise an empty one after the last 0x5C.
TEST(PathSplit, FileNameLimitCountsTheBytesAfterTheTrueSplit) {
    std::string name63 = "x";
    std::string name64;
    for (int i = 0; i < 31; ++i) name63 += "\x9C\x5C";
    for (int i = 0; i < 32; ++i) name64 += "\x9C\x5C";
    const struct {
        const CodePage& codePage;
        std::string path;
        bool accepted;
    } cases[] = {
        {kCodePages[1], "C:\\pic\\" + name63, true},
        {kCodePages[1], "C:\\pic\\" + name64, false},
        {kCodePages[1], name64, false},
        {kCodePages[0], "C:\\pic\\" + name64, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codePage.name) + ": " + std::to_string(c.path.size()) + " bytes");
        const std::vector<std::uint8_t> bytes = RequestFor(c.path);
        ExactBlock block(bytes.data(), bytes.size());
        CommandRecord record;
        EXPECT_EQ(BuildCommandRecord(1, block.Get(), record, c.codePage.isLeadByte), c.accepted);
    }
}

// A path that fills its block with no zero and ends in a lead byte: the walk stops
// at the block's end (the block is exactly this long, so a read past it is reported).
TEST(PathSplit, LeadByteAtTheEndOfTheBlockIsNotReadPast) {
    for (const CodePage& codePage : kCodePages) {
        SCOPED_TRACE(codePage.name);
        std::vector<std::uint8_t> bytes = RequestFor("C:\\a\\b\x9C");
        bytes.pop_back();  // the zero
        const std::int32_t total = static_cast<std::int32_t>(bytes.size());
        std::memcpy(bytes.data(), &total, 4);
        ExactBlock block(bytes.data(), bytes.size());
        CommandRecord record;
        ASSERT_TRUE(BuildCommandRecord(1, block.Get(), record, codePage.isLeadByte));
        EXPECT_EQ(std::string(record.directory), "C:\\a\\");
        EXPECT_EQ(std::string(record.fileName), "b\x9C");
    }
}

// The operation log's hour is UTC + 8 on a 24-hour clock for any value a clock
// could give; before, INT_MAX overflowed and negative hours printed as negative.
TEST(OpLogLine, HourIsShiftedOnA24HourClockForAnyClockValue) {
    const struct {
        int utcHour;
        const char* stamp;
    } cases[] = {
        {0, "[2007-5-30][8:4:9-   7]"},        {15, "[2007-5-30][23:4:9-   7]"},
        {16, "[2007-5-30][0:4:9-   7]"},       {23, "[2007-5-30][7:4:9-   7]"},
        {-1, "[2007-5-30][7:4:9-   7]"},       {-9, "[2007-5-30][23:4:9-   7]"},
        {INT_MAX, "[2007-5-30][15:4:9-   7]"}, {INT_MIN, "[2007-5-30][0:4:9-   7]"},
    };
    for (const auto& c : cases) {
        char line[128];
        const std::size_t length =
            FormatOpLogLine(line, sizeof line, UtcTime{2007, 5, 30, c.utcHour, 4, 9, 7}, 0, "x");
        // 命令号:0  操作: x
        EXPECT_EQ(std::string(line, length),
                  std::string(c.stamp) + "\xC3\xFC\xC1\xEE\xBA\xC5:0  \xB2\xD9\xD7\xF7: x\n")
            << c.utcHour;
    }
}

}  // namespace
}  // namespace nubix::fuzz
