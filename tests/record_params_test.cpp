// SetRecordParam (slot 13) and the per-channel tables an open creates and a close
// releases, driven without a viewer: the tables are created as an open does.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "NubixVSClient.h"
#include "client/vs_client.h"

namespace nubix {
namespace {

RecordParams Params(unsigned char first) {
    RecordParams p;
    for (std::size_t i = 0; i < sizeof p.bytes; ++i) p.bytes[i] = static_cast<unsigned char>(first + i);
    return p;
}

std::string Bytes(const void* data, std::size_t size) { return std::string(static_cast<const char*>(data), size); }

std::string ParamTable(const VSClient* client) {
    return Bytes(client->RecordParamTable, kChannelCount * sizeof(RecordParams));
}

class RecordParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        iface = kesaCreateVSClient();
        ASSERT_NE(iface, nullptr);
        client = static_cast<VSClient*>(iface);
    }
    void TearDown() override {
        client->ReleaseTables();
        kesaReleaseVSClient(iface);
    }

    IVSClient* iface = nullptr;  // slot 13 is called through the interface
    VSClient* client = nullptr;
};

TEST_F(RecordParamsTest, TablesStartAbsentThenAllZeroWith255Channels) {
    EXPECT_EQ(client->ChannelTable, nullptr);
    EXPECT_EQ(client->RecordParamTable, nullptr);
    EXPECT_EQ(client->channelCount, 0);

    ASSERT_TRUE(client->CreateTables());
    EXPECT_EQ(client->channelCount, 255);
    EXPECT_EQ(Bytes(&client->RecordParamTable[0], 12), std::string(12, '\0'));
    EXPECT_EQ(Bytes(&client->RecordParamTable[254], 12), std::string(12, '\0'));
    EXPECT_EQ(ParamTable(client), std::string(255 * 12, '\0'));
    EXPECT_EQ(Bytes(client->ChannelTable, 255 * 16), std::string(255 * 16, '\0'));
}

TEST_F(RecordParamsTest, StoresExactlyTheEntryOfEachChannelSet) {
    struct Step {
        int channel;
        unsigned char first;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"channel 0", {{0, 0x10}}},
        {"channel 254", {{254, 0x20}}},
        {"channel 0 then 254", {{0, 0x10}, {254, 0x20}}},
        {"same channel twice keeps the second", {{7, 0x30}, {7, 0x40}}},
        {"neighbours of a set channel stay", {{100, 0x50}, {99, 0x00}, {101, 0x00}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(client->CreateTables());
        std::vector<RecordParams> expected(kChannelCount, RecordParams{});
        for (const Step& s : c.steps) {
            const RecordParams p = Params(s.first);
            iface->SetRecordParam(s.channel, &p);
            expected[s.channel] = p;
        }
        EXPECT_EQ(ParamTable(client), Bytes(expected.data(), expected.size() * sizeof(RecordParams)));
        EXPECT_EQ(Bytes(client->ChannelTable, 255 * 16), std::string(255 * 16, '\0'));
        client->ReleaseTables();
    }
}

TEST_F(RecordParamsTest, ChannelsWithoutAnEntryWriteNothingInOrAroundTheTable) {
    // The table sits inside a larger block whose other bytes would show any stray
    // write: before it (-1, and INT_MAX whose byte offset wraps to -12), after it (255,
    // 1000) and inside it (INT_MIN wraps to offset 0, 0x15555556 to offset 8).
    constexpr std::size_t kBefore = 1, kAfter = 1000 - 255 + 2;
    std::vector<RecordParams> block(kBefore + kChannelCount + kAfter);
    std::memset(block.data(), 0xA5, block.size() * sizeof(RecordParams));
    std::memset(&block[kBefore], 0, kChannelCount * sizeof(RecordParams));
    const std::string untouched = Bytes(block.data(), block.size() * sizeof(RecordParams));

    client->RecordParamTable = &block[kBefore];
    client->channelCount = kChannelCount;
    const RecordParams p = Params(0x61);
    for (int channel : {-1, 255, 256, 1000, INT_MIN, INT_MAX, 0x15555556}) {
        SCOPED_TRACE(channel);
        iface->SetRecordParam(channel, &p);
        EXPECT_EQ(Bytes(block.data(), block.size() * sizeof(RecordParams)), untouched);
    }
    client->RecordParamTable = nullptr;
    client->channelCount = 0;
}

TEST_F(RecordParamsTest, NoTableOrNoParametersMeansNoEffect) {
    const RecordParams p = Params(0x71);
    // Before any open: no tables, no entries.
    iface->SetRecordParam(0, &p);
    iface->SetRecordParam(254, &p);
    EXPECT_EQ(client->RecordParamTable, nullptr);

    ASSERT_TRUE(client->CreateTables());
    iface->SetRecordParam(3, nullptr);
    EXPECT_EQ(ParamTable(client), std::string(255 * 12, '\0'));

    // After a close the channel count stays 255 but the tables are gone.
    client->ReleaseTables();
    EXPECT_EQ(client->RecordParamTable, nullptr);
    EXPECT_EQ(client->ChannelTable, nullptr);
    iface->SetRecordParam(0, &p);
    iface->SetRecordParam(254, &p);
    EXPECT_EQ(client->RecordParamTable, nullptr);
    EXPECT_EQ(client->ChannelTable, nullptr);
}

TEST_F(RecordParamsTest, TablesOfANewOpenStartAllZeroAgain) {
    ASSERT_TRUE(client->CreateTables());
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const RecordParams p = Params(static_cast<unsigned char>(channel | 1));
        iface->SetRecordParam(channel, &p);
    }
    std::memset(client->ChannelTable, 0xEE, 255 * 16);
    client->ReleaseTables();

    // Freed blocks of the same size are likely handed out again, dirty.
    ASSERT_TRUE(client->CreateTables());
    EXPECT_EQ(client->channelCount, 255);
    EXPECT_EQ(ParamTable(client), std::string(255 * 12, '\0'));
    EXPECT_EQ(Bytes(client->ChannelTable, 255 * 16), std::string(255 * 16, '\0'));
}

}  // namespace
}  // namespace nubix
