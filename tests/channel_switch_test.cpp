// The channel record and the one-second wait before a picture on a new channel. The
// last channel lives for the whole process, so this runs in a process of its own.
#include <gtest/gtest.h>

#include <cstring>

#include "support/callback_recorder.h"
#include "support/session.h"

namespace nubix::test {
namespace {

using ChannelSwitch = ViewerSession;

TEST_F(ChannelSwitch, OnlyAChangeOfChannelSendsTheChannelRecordAndWaits) {
    Script({"write_files=0"});
    ASSERT_EQ(Open(), 1);
    std::vector<char> request = MakeRequest(8, "C:\\d\\a.bmp");
    struct Step {
        int channel;
        bool announced;
    };
    const Step steps[] = {{3, true}, {3, false}, {5, true}, {0, true}, {0, false}};
    std::size_t expectedCommands = 0;
    for (const Step& step : steps) {
        const ULONGLONG start = GetTickCount64();
        ASSERT_EQ(client->CapturePicture(step.channel, AsRequest(request)), 1);
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (step.announced) EXPECT_GE(elapsed, 990u) << "channel " << step.channel;

        std::vector<JournalEntry> captures = Commands(CMD_CAPTURE_PICTURE);
        expectedCommands += step.announced ? 2 : 1;
        ASSERT_EQ(captures.size(), expectedCommands) << "channel " << step.channel;
        if (step.announced) {
            CommandRecord announce = RecordOf(captures[captures.size() - 2]);
            CommandRecord expected = ChannelOnlyRecord(step.channel);
            EXPECT_EQ(std::memcmp(&announce, &expected, sizeof expected), 0);
        }
        EXPECT_EQ(RecordOf(captures.back()).channel, step.channel);
    }
    // Record files neither announce nor wait, and do not move the picture channel.
    ASSERT_EQ(client->RequestRecordFile(9, AsRequest(request)), 1);
    ASSERT_EQ(client->CapturePicture(0, AsRequest(request)), 1);
    EXPECT_EQ(Commands(CMD_CAPTURE_PICTURE).size(), expectedCommands + 1);
}

TEST_F(ChannelSwitch, AnnouncementRefusedStillMovesTheChannelAndSendsThePicture) {
    // The 1st capture command (the announcement) is refused, which re-opens; the
    // picture itself then goes to the new viewer.
    Script({"1.capture=refuse", "write_files=0"});
    ASSERT_EQ(Open(), 1);
    std::vector<char> request = MakeRequest(8, "C:\\d\\a.bmp");
    EXPECT_EQ(client->CapturePicture(12, AsRequest(request)), 1);
    std::vector<JournalEntry> captures = Commands(CMD_CAPTURE_PICTURE);
    ASSERT_EQ(captures.size(), 2u);
    EXPECT_EQ(RecordOf(captures[1]).tag, 8);
    // The channel moved: the next picture on 12 is not announced again.
    EXPECT_EQ(client->CapturePicture(12, AsRequest(request)), 1);
    EXPECT_EQ(Commands(CMD_CAPTURE_PICTURE).size(), 3u);
}

}  // namespace
}  // namespace nubix::test
