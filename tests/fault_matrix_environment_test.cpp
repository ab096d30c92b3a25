// Fault matrix, the host's environment: log files that cannot be written (a
// directory in their place, read-only files, files another process or this one
// holds open without sharing) and a video control that does not register. Opens
// and requests go on while the logs are blocked; a blocked line is simply lost,
// the next one after the fault is written; a control that cannot be registered
// stops the open before anything is started.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fault/fault_session.h"
#include "support/callback_recorder.h"
#include "support/log_files.h"

namespace nubix::fault {
namespace {

using test::Calls;
using test::kLevelLogPath;
using test::kOpLogPath;
using test::ReadFileBytes;

const char* const kLogs[] = {kOpLogPath, kLevelLogPath};
const std::string kBefore = "before\r\n";

void WriteBytes(const char* path, const std::string& bytes) {
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

enum class Block { Directory, ReadOnly, HeldByAnotherProcess, HeldByThisProcess };

struct LogFault {
    const char* name;
    Block block;
};

// Puts the fault in place over both logs and lifts it again.
class BlockedLogs {
public:
    explicit BlockedLogs(Block block) : block_(block) {
        for (const char* path : kLogs) {
            switch (block_) {
                case Block::Directory:
                    EXPECT_TRUE(CreateDirectoryA(path, nullptr)) << path;
                    break;
                case Block::ReadOnly:
                    WriteBytes(path, kBefore);
                    EXPECT_TRUE(SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY)) << path;
                    enforced_ = enforced_ && !Writable(path);
                    break;
                case Block::HeldByAnotherProcess:
                    WriteBytes(path, kBefore);
                    HoldInHolder(path);
                    break;
                case Block::HeldByThisProcess:
                    WriteBytes(path, kBefore);
                    held_.push_back(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
                    EXPECT_NE(held_.back(), INVALID_HANDLE_VALUE) << path;
                    break;
            }
        }
    }

    // Lifts the fault; the files are as they were before it.
    void Lift() {
        if (release_ != nullptr) SetEvent(release_);
        for (HANDLE holder : holders_) {
            EXPECT_EQ(WaitForSingleObject(holder, 10000), WAIT_OBJECT_0);
            DWORD code = 1;
            GetExitCodeProcess(holder, &code);
            EXPECT_EQ(code, 0u) << "the holder could not open the log";
            CloseHandle(holder);
        }
        holders_.clear();
        for (HANDLE h : held_) CloseHandle(h);
        held_.clear();
        for (const char* path : kLogs) {
            if (block_ == Block::Directory) {
                EXPECT_TRUE(RemoveDirectoryA(path)) << path << " is no longer the empty directory it was";
            } else {
                SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                if (enforced_) EXPECT_EQ(ReadFileBytes(path), kBefore) << path;
                else ExpectBeforeAndWholeLines(path);
                DeleteFileA(path);
            }
        }
        if (release_ != nullptr) CloseHandle(release_);
        release_ = nullptr;
    }

    ~BlockedLogs() {
        if (release_ != nullptr || !held_.empty() || !holders_.empty()) Lift();
    }

private:
    static bool Writable(const char* path) {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    }

    // Wine run by root lets root write a read-only file, as Unix does: the lines
    // then went in, each of them whole, after the bytes that were there.
    static void ExpectBeforeAndWholeLines(const char* path) {
        std::printf("[ note     ] %s: the read-only attribute does not stop this user here; lines were appended\n",
                    path);
        const std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.substr(0, kBefore.size()), kBefore) << path;
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << path;
    }

    void HoldInHolder(const char* path) {
        if (release_ == nullptr) release_ = CreateEventA(nullptr, TRUE, FALSE, "nubix-fault-release");
        // One ready event per holder: the first one's stays set while it runs.
        const std::string readyName = "nubix-fault-ready-" + std::to_string(holders_.size());
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
        HANDLE holder = StartProcess("\"" + test::HostPath("file_holder.exe") + "\" " + path + " " + readyName +
                                     " nubix-fault-release");
        ASSERT_NE(holder, nullptr);
        holders_.push_back(holder);
        EXPECT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
        CloseHandle(ready);
    }

    Block block_;
    bool enforced_ = true;  // the platform refuses to open the blocked files for writing
    HANDLE release_ = nullptr;
    std::vector<HANDLE> holders_;
    std::vector<HANDLE> held_;
};

class UnwritableLogs : public FaultSession, public ::testing::WithParamInterface<LogFault> {};

TEST_P(UnwritableLogs, OpensAndRequestsWorkAndTheLogsComeBackAfterwards) {
    Script({"write_files=0"});
    BlockedLogs blocked(GetParam().block);
    // Not NewClient(): that would clear the logs.
    client = kesaCreateVSClient();
    ASSERT_NE(client, nullptr);
    client->SetCallback(test::Recorder());
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(Request(false, 71), 1);
    EXPECT_EQ(Request(true, 72), 1);
    ASSERT_TRUE(WaitForCallbacks(4));
    EXPECT_EQ(Calls().size(), 4u);
    if (GetParam().block == Block::Directory) {
        for (const char* path : kLogs) EXPECT_NE(GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY, 0u) << path;
    }

    blocked.Lift();
    test::ClearLogs();
    EXPECT_EQ(Request(false, 73), 1);
    EXPECT_EQ(test::OpLogTexts(), (std::vector<std::string>{"发送命令到控件窗口成功！"}));
    ASSERT_TRUE(WaitForCallbacks(6));
    ExpectNothingLeft(1, 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, UnwritableLogs,
                         ::testing::Values(LogFault{"DirectoryInTheirPlace", Block::Directory},
                                           LogFault{"ReadOnlyFiles", Block::ReadOnly},
                                           LogFault{"HeldWithoutSharingByAnotherProcess", Block::HeldByAnotherProcess},
                                           LogFault{"HeldWithoutSharingByThisProcess", Block::HeldByThisProcess}),
                         [](const ::testing::TestParamInfo<LogFault>& info) { return std::string(info.param.name); });

// Sets VANTO_MODE, which regsvr32 inherits through the library's WinExec.
class VantoMode {
public:
    explicit VantoMode(const char* mode) { SetEnvironmentVariableA("VANTO_MODE", mode); }
    ~VantoMode() { SetEnvironmentVariableA("VANTO_MODE", nullptr); }
};

bool HasMessageEndingWith(const std::vector<std::string>& messages, const std::string& end) {
    for (const std::string& m : messages) {
        if (m.size() >= end.size() && m.compare(m.size() - end.size(), end.size(), end) == 0) return true;
    }
    return false;
}

using ControlFaults = FaultSession;

TEST_F(ControlFaults, ControlThatDoesNotRegisterStopsTheOpenBeforeAnythingStarts) {
    Script({"write_files=0"});
    test::DeleteControlKey();
    {
        VantoMode refuse("fail");
        NewClient();
        EXPECT_EQ(Open(), 0);
    }
    const std::vector<std::string> level = test::LevelLogMessages();
    ASSERT_EQ(level.size(), 2u);
    EXPECT_NE(level[0].find("regsvr32 /s \""), std::string::npos) << level[0];
    EXPECT_TRUE(HasMessageEndingWith(level, "不能在此计算机上注册！"));
    EXPECT_FALSE(test::ControlKeyExists());
    EXPECT_TRUE(test::OpLogTexts().empty());
    EXPECT_TRUE(Events("start").empty());
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    EXPECT_EQ(Request(false, 81), 0);
    ExpectNothingLeft(0, 0);

    // Once the control registers, the same client opens.
    test::ClearLogs();
    EXPECT_EQ(Open(), 1);
    EXPECT_TRUE(HasMessageEndingWith(test::LevelLogMessages(), "注册成功 ！"));
    EXPECT_TRUE(test::ControlKeyExists());
    EXPECT_EQ(Request(false, 82), 1);
    ASSERT_TRUE(WaitForCallbacks(2));
    ExpectNothingLeft(1, 1);
}

}  // namespace
}  // namespace nubix::fault
