#include <gtest/gtest.h>

#include "NubixVSClient.h"
#include "support/log_files.h"

TEST(Smoke, CreatesAndReleasesAClient) {
    nubix::test::ClearLogs();
    IVSClient* client = kesaCreateVSClient();
    ASSERT_NE(client, nullptr);
    kesaReleaseVSClient(client);
    EXPECT_EQ(nubix::test::OpLogTexts(), (std::vector<std::string>{"视频接口建立！", "视频接口退出！"}));
}
