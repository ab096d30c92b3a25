// Building command records from host requests, and reading the viewer's result
// records back: the path split, the request limits, the fixed-width text fields.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "channel/command_record.h"
#include "channel/inbound_result.h"
#include "code_pages.h"

namespace nubix {
namespace {

constexpr std::int32_t kChannel = -5;
constexpr std::int32_t kTag = 0x12345678;

std::string Text(char c, std::size_t n) { return std::string(n, c); }

// Compares two byte ranges and names the first offset where they differ.
::testing::AssertionResult SameBytes(const void* actual, const void* expected, std::size_t size) {
    const auto* a = static_cast<const unsigned char*>(actual);
    const auto* e = static_cast<const unsigned char*>(expected);
    for (std::size_t i = 0; i < size; ++i) {
        if (a[i] != e[i]) {
            return ::testing::AssertionFailure() << "byte " << i << " is " << int(a[i]) << ", expected "
                                                 << int(e[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

CommandRecord Garbage() {
    CommandRecord r;
    std::memset(&r, 0xCC, sizeof r);
    return r;
}

CommandRecord Expected(const std::string& directory, const std::string& fileName) {
    CommandRecord r;
    std::memset(&r, 0, sizeof r);
    r.channel = kChannel;
    r.tag = kTag;
    std::memcpy(r.directory, directory.data(), directory.size());
    std::memcpy(r.fileName, fileName.data(), fileName.size());
    return r;
}

// A request block: header, then `area` as the path area (it may hold zeros), with
// totalLength counting exactly those bytes unless `totalLength` says otherwise.
std::vector<char> Request(const std::string& area, std::int32_t totalLength = -2) {
    if (totalLength == -2) totalLength = static_cast<std::int32_t>(8 + area.size());
    std::vector<char> block(8 + area.size());
    std::memcpy(block.data(), &totalLength, 4);
    std::memcpy(block.data() + 4, &kTag, 4);
    std::memcpy(block.data() + 8, area.data(), area.size());
    return block;
}

struct SplitCase {
    const char* name;
    std::string area;  // path area of the block, counted by totalLength
    std::string directory;
    std::string fileName;
};

TEST(CommandRecordTest, SplitsPathAtLastBackslashAndRejoinsToIt) {
    const std::string dir193 = "C:\\" + Text('d', 189) + "\\";  // 193 characters
    const std::string dir4 = "D:\\x\\";
    const SplitCase cases[] = {
        {"drive, folder, file", std::string("D:\\pic\\a.jpg") + '\0', "D:\\pic\\", "a.jpg"},
        {"bare file name", std::string("a.jpg") + '\0', "", "a.jpg"},
        {"trailing backslash", std::string("D:\\pic\\") + '\0', "D:\\pic\\", ""},
        {"total length 8", "", "", ""},
        {"empty text, zero first", std::string(20, '\0'), "", ""},
        {"zero inside the text cuts it", std::string("D:\\pic\\a.jpg\0E:\\other\\b.jpg", 27), "D:\\pic\\", "a.jpg"},
        {"no zero: read up to the block's end", "E:\\v\\clip.avi", "E:\\v\\", "clip.avi"},
        {"file name of 63 characters", dir4 + Text('f', 63) + '\0', dir4, Text('f', 63)},
        {"path of exactly 256 characters", dir193 + Text('f', 63), dir193, Text('f', 63)},
        {"256 characters, a zero, then junk up to 776",
         dir193 + Text('f', 63) + '\0' + Text('j', 768 - 257), dir193, Text('f', 63)},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<char> block = Request(c.area);
        CommandRecord record = Garbage();
        ASSERT_TRUE(BuildCommandRecord(kChannel, block.data(), record));
        const CommandRecord expected = Expected(c.directory, c.fileName);
        EXPECT_TRUE(SameBytes(&record, &expected, sizeof record));

        char joined[kFullPathBytes];
        EXPECT_EQ(JoinResultPath(record, joined), c.directory.size() + c.fileName.size());
        EXPECT_EQ(std::string(joined), c.directory + c.fileName);
    }
}

struct RefusedCase {
    const char* name;
    std::string area;
    std::int32_t totalLength;
};

TEST(CommandRecordTest, RefusesRequestsOutsideTheLimitsWithAZeroRecord) {
    const std::string path257 = "C:\\" + Text('d', 190) + "\\" + Text('f', 63);
    const RefusedCase cases[] = {
        {"total length 7", "", 7},
        {"total length -1", "a.jpg", -1},
        {"total length INT_MIN", "a.jpg", INT_MIN},
        {"total length 777", std::string("a.jpg") + std::string(769 - 5, '\0'), 777},
        {"path of 257 characters", path257 + '\0', -2},
        {"path of 257 characters, no zero", path257, -2},
        {"file name of 64 characters", "D:\\x\\" + Text('f', 64) + '\0', -2},
        {"bare file name of 64 characters", Text('f', 64), -2},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(path257.size(), 257u);
        const std::vector<char> block = Request(c.area, c.totalLength);
        CommandRecord record = Garbage();
        EXPECT_FALSE(BuildCommandRecord(kChannel, block.data(), record));
        const CommandRecord zero = {};
        EXPECT_TRUE(SameBytes(&record, &zero, sizeof record));
    }
    CommandRecord record = Garbage();
    EXPECT_FALSE(BuildCommandRecord(kChannel, nullptr, record));
    const CommandRecord zero = {};
    EXPECT_TRUE(SameBytes(&record, &zero, sizeof record));
}

// A block placed flush against a page that cannot be read: a single byte read past
// totalLength ends the process.
class GuardedBlock {
public:
    GuardedBlock() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_ != nullptr) VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedBlock() {
        if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    bool ok() const { return base_ != nullptr; }
    // Copies `block` so that its last byte is the last readable one.
    const void* Place(const std::vector<char>& block) {
        char* at = base_ + page_ - block.size();
        std::memcpy(at, block.data(), block.size());
        return at;
    }

private:
    char* base_ = nullptr;
    DWORD page_ = 0;
};

TEST(CommandRecordTest, PathWithoutZeroIsReadExactlyUpToTotalLength) {
    GuardedBlock guard;
    ASSERT_TRUE(guard.ok());
    const std::string dir193 = "C:\\" + Text('d', 189) + "\\";
    const SplitCase cases[] = {
        {"header only", "", "", ""},
        {"short path", "D:\\pic\\a.jpg", "D:\\pic\\", "a.jpg"},
        {"path of 256 characters", dir193 + Text('f', 63), dir193, Text('f', 63)},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        CommandRecord record = Garbage();
        ASSERT_TRUE(BuildCommandRecord(kChannel, guard.Place(Request(c.area)), record));
        const CommandRecord expected = Expected(c.directory, c.fileName);
        EXPECT_TRUE(SameBytes(&record, &expected, sizeof record));
    }
    // Refused as too long after reading no further than the block.
    CommandRecord record = Garbage();
    EXPECT_FALSE(BuildCommandRecord(kChannel, guard.Place(Request(Text('p', 300))), record));

    // A GBK lead byte as the block's last byte: a character cut short, not read past.
    record = Garbage();
    ASSERT_TRUE(BuildCommandRecord(kChannel, guard.Place(Request("D:\\pic\\a\x9C")), record, fuzz::GbkLeadByte));
    const CommandRecord expected = Expected("D:\\pic\\", "a\x9C");
    EXPECT_TRUE(SameBytes(&record, &expected, sizeof record));
}

// The lead-byte tables that the fuzzers and the native tests split paths with are
// the system's own.
TEST(CodePageTables, LeadBytesAreThoseOfTheSystemsTables) {
    for (const fuzz::CodePage& codePage : fuzz::kCodePages) {
        SCOPED_TRACE(codePage.name);
        for (int b = 0; b < 256; ++b) {
            const auto c = static_cast<unsigned char>(b);
            EXPECT_EQ(codePage.isLeadByte(c), IsDBCSLeadByteEx(codePage.id, c) != FALSE) << "byte " << b;
        }
    }
}

TEST(CommandRecordTest, ChannelOnlyRecordCarriesNothingButTheChannel) {
    CommandRecord expected;
    std::memset(&expected, 0, sizeof expected);
    const unsigned char channel[4] = {0x07, 0x01, 0x00, 0x80};  // little-endian 0x80000107
    std::memcpy(&expected, channel, sizeof channel);
    const CommandRecord record = ChannelOnlyRecord(static_cast<std::int32_t>(0x80000107u));
    EXPECT_TRUE(SameBytes(&record, &expected, sizeof record));
}

TEST(CommandRecordTest, CopyPaddedFillsExactlyTheFieldWidth) {
    struct Case {
        const char* name;
        const char* text;
        std::string field;  // the 8 bytes expected
    };
    const Case cases[] = {
        {"short text", "abc", std::string("abc\0\0\0\0\0", 8)},
        {"empty text", "", std::string(8, '\0')},
        {"exactly the width: no terminator", "abcdefgh", "abcdefgh"},
        {"longer: cut to the width", "abcdefghijkl", "abcdefgh"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[12];
        std::memset(buffer, 0xCC, sizeof buffer);
        CopyPadded(buffer, 8, c.text);
        EXPECT_EQ(std::string(buffer, 8), c.field);
        EXPECT_EQ(std::string(buffer + 8, 4), std::string(4, '\xCC')) << "wrote past the field";
    }
}

TEST(CommandRecordTest, FieldLengthStopsAtZeroOrWidth) {
    const char field[8] = {'a', 'b', 'c', '\0', 'x', 'y', 'z', 'w'};
    EXPECT_EQ(FieldLength(field, 8), 3u);
    EXPECT_EQ(FieldLength(field + 4, 4), 4u);
    EXPECT_EQ(FieldLength(field, 2), 2u);
    EXPECT_EQ(FieldLength(field, 0), 0u);
}

TEST(CommandRecordTest, JoinResultPathBoundsBothFieldsAndEndsWithZero) {
    struct Case {
        const char* name;
        std::size_t directory;  // characters in the field; 260 fills it with no zero
        std::size_t fileName;   // 64 fills it with no zero
        std::size_t joined;
    };
    const Case cases[] = {
        {"both short", 7, 5, 12},
        {"both empty", 0, 0, 0},
        {"file name fills its field", 10, 64, 74},
        {"exactly 259 together", 195, 64, 259},
        {"together over 259: file name cut", 200, 64, 259},
        {"directory fills its field: cut at 259", 260, 64, 259},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandRecord record;
        std::memset(&record, 0, sizeof record);
        std::memset(record.directory, 'd', c.directory);
        std::memset(record.fileName, 'f', c.fileName);
        record.result = 0x01010101;  // right behind fileName: must not be taken as text

        char joined[kFullPathBytes];
        std::memset(joined, 0xCC, sizeof joined);
        EXPECT_EQ(JoinResultPath(record, joined), c.joined);
        std::string expected = (Text('d', c.directory) + Text('f', c.fileName)).substr(0, c.joined);
        expected.resize(kFullPathBytes, '\0');
        EXPECT_EQ(std::string(joined, sizeof joined), expected);
    }
}

TEST(CommandRecordTest, ReadResultRecordTakesAtMostTheRecordAndZeroCompletes) {
    std::vector<unsigned char> source(400);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i * 7 + 1);
    for (std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{8}, std::size_t{335},
                             std::size_t{336}, std::size_t{400}}) {
        SCOPED_TRACE(size);
        unsigned char expected[sizeof(CommandRecord)] = {};
        std::memcpy(expected, source.data(), size < sizeof expected ? size : sizeof expected);
        const CommandRecord record = ReadResultRecord(source.data(), size);
        EXPECT_TRUE(SameBytes(&record, expected, sizeof record));
    }
    const CommandRecord zero = {};
    const CommandRecord fromNull = ReadResultRecord(nullptr, 336);
    EXPECT_TRUE(SameBytes(&fromNull, &zero, sizeof zero));
}

}  // namespace
}  // namespace nubix
