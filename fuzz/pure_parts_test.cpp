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
