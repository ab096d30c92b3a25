// Load: four host threads make 1,000 record-file requests each while the viewer
// simulator answers and sends every result back at full speed. Every request is
// answered by exactly one status callback (and its file), all on the opening
// thread; the operation log holds exactly one whole line per request; nothing
// deadlocks; and the memory in use after the run is what it was before. The
// figures are printed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "client/block_list.h"
#include "fault/fault_session.h"
#include "fault/resource_counts.h"
#include "support/log_files.h"

namespace nubix::fault {
namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 1000;
constexpr int kWarmUpPerThread = 50;
constexpr int kRequests = kThreads * kPerThread;

// What the callback saw, written only on the opening thread; sized before the run so
// that counting allocates nothing.
struct Tally {
    DWORD openingThread = 0;
    int base = 0;  // tag of the first request of the phase
    std::vector<int> status = std::vector<int>(kRequests);
    std::vector<int> files = std::vector<int>(kRequests);
    int total = 0;
    std::size_t peakCopies = 0;  // result copies still queued, seen from a callback
    int wrong = 0;  // calls on another thread, with a tag out of the phase, or malformed
};
Tally tally;

std::string PathOf(int tag) { return "C:\\load\\r" + std::to_string(tag) + ".rec"; }

int __stdcall CountingCallback(int channel, unsigned short kind, int tag, void* data, int length) {
    ++tally.total;
    const std::size_t queued = ResultCopies.Count();
    if (queued > tally.peakCopies) tally.peakCopies = queued;
    const int index = tag - tally.base;
    if (GetCurrentThreadId() != tally.openingThread || index < 0 || index >= kRequests || channel != tag % 255) {
        ++tally.wrong;
        return 0;
    }
    if (kind == KIND_STATUS) {
        StatusBlock status;
        std::memcpy(&status, data, sizeof status);
        if (length != 8 || status.operation != STATUS_OP_RECORD_FILE || status.outcome != 0) ++tally.wrong;
        ++tally.status[index];
    } else if (kind == KIND_RECORD_FILE) {
        char expected[64];
        const int n = std::snprintf(expected, sizeof expected, "C:\\load\\r%d.rec", tag);
        if (length != n || std::memcmp(data, expected, n) != 0) ++tally.wrong;
        ++tally.files[index];
    } else {
        ++tally.wrong;
    }
    return 0;
}

class Load : public FaultSession {
protected:
    // kThreads threads make `perThread` requests each, tags from `base`; this thread
    // dispatches the results until all are in. Returns the number of requests taken.
    int RunPhase(int base, int perThread) {
        tally.base = base;
        tally.total = 0;
        tally.peakCopies = 0;
        std::fill(tally.status.begin(), tally.status.end(), 0);
        std::fill(tally.files.begin(), tally.files.end(), 0);
        std::atomic<int> taken{0};
        std::atomic<int> running{kThreads};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i) {
                    const int tag = base + t * perThread + i;
                    std::vector<char> request = test::MakeRequest(tag, PathOf(tag));
                    taken += client->RequestRecordFile(tag % 255, test::AsRequest(request));
                }
                --running;
            });
        }
        const int expectedCalls = 2 * kThreads * perThread;
        const bool done = test::PumpUntil(
            [&] { return running == 0 && tally.total >= expectedCalls; },
            110000);
        for (std::thread& thread : threads) thread.join();
        test::PumpFor(200);
        EXPECT_TRUE(done) << "requests or results stuck: " << tally.total << " of " << expectedCalls << " calls";
        return taken;
    }
};

TEST_F(Load, FourThreadsOf1000RequestsEachAreAnsweredOnceWithFlatMemory) {
    Script({"write_files=0"});
    NewClient();
    client->SetCallback(CountingCallback);
    tally.openingThread = GetCurrentThreadId();
    ASSERT_EQ(Open(), 1);

    // A first round brings the runtime, the log and the threads to their steady state.
    ASSERT_EQ(RunPhase(1000000, kWarmUpPerThread), kThreads * kWarmUpPerThread);
    test::ClearLogs();
    const std::size_t heapBefore = HeapBytesInUse();
    const std::size_t privateBefore = PrivateBytes();

    const ULONGLONG start = GetTickCount64();
    const int taken = RunPhase(0, kPerThread);
    const ULONGLONG elapsed = GetTickCount64() - start;

    const std::size_t heapAfter = HeapBytesInUse();
    const std::size_t privateAfter = PrivateBytes();
    std::printf("[ load     ] %d requests from %d threads in %llu ms (%.0f requests/s), %d callbacks, "
                "at most %zu result copies waiting\n",
                kRequests, kThreads, elapsed, elapsed ? 1000.0 * kRequests / elapsed : 0.0, tally.total,
                tally.peakCopies);
    std::printf("[ load     ] heap in use %zu -> %zu bytes (%+lld), private bytes %zu -> %zu (%+lld)\n", heapBefore,
                heapAfter, static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore), privateBefore,
                privateAfter, static_cast<long long>(privateAfter) - static_cast<long long>(privateBefore));

    EXPECT_EQ(taken, kRequests);
    EXPECT_EQ(tally.wrong, 0);
    EXPECT_EQ(tally.total, 2 * kRequests);
    for (int i = 0; i < kRequests; ++i) {
        ASSERT_EQ(tally.status[i], 1) << "status callbacks of request " << i;
        ASSERT_EQ(tally.files[i], 1) << "file callbacks of request " << i;
    }

    // One whole line per request: no line lost, none run into another.
    const std::regex line("\\[[0-9]+-[0-9]+-[0-9]+\\]\\[[0-9]+:[0-9]+:[0-9]+- *[0-9]+\\]命令号:0  操作: 发送命令到控件窗口成功！");
    const std::vector<std::string> lines = test::ReadLogLines(test::kOpLogPath);
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(kRequests));
    int malformed = 0;
    for (const std::string& l : lines) malformed += std::regex_match(l, line) ? 0 : 1;
    EXPECT_EQ(malformed, 0);

    // Flat: what the run allocated it gave back, up to the runtime's own small change.
    EXPECT_LT(heapAfter, heapBefore + 64 * 1024);
    ExpectNothingLeft(1, 1);
}

}  // namespace
}  // namespace nubix::fault
