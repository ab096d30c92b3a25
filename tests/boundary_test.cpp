// The library boundary seen from inside: the four exports, the slots that must leave
// a client as it was, the callback slot, and the process-wide state that clients
// share (one client at a time, but a host may overlap two).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NubixVSClient.h"
#include "client/block_list.h"
#include "client/process_state.h"
#include "client/vs_client.h"
#include "log/logs.h"
#include "support/log_files.h"
#include "support/low_address_fill.h"

namespace nubix {
namespace {

using test::ClearLogs;
using test::OpLogTexts;
using test::ReadFileBytes;

struct ClientRelease {
    void operator()(IVSClient* client) const { kesaReleaseVSClient(client); }
};
using Client = std::unique_ptr<IVSClient, ClientRelease>;

VSClient* Impl(const Client& client) { return static_cast<VSClient*>(client.get()); }

bool SavedLoginIsZero() {
    const OpenServerBlock zero{};
    return std::memcmp(&SavedLogin, &zero, sizeof zero) == 0;
}

// Whether another thread can take `lock` at once (and gives it back).
bool FreeForAnotherThread(CRITICAL_SECTION& lock) {
    bool free = false;
    std::thread([&] {
        if (TryEnterCriticalSection(&lock)) {
            free = true;
            LeaveCriticalSection(&lock);
        }
    }).join();
    return free;
}

// ---------------------------------------------------------------------------------
// The exports.

TEST(Exports, ReleaseOfNullDoesNothing) {
    ClearLogs();
    kesaReleaseVSClient(nullptr);
    EXPECT_EQ(ReadFileBytes(test::kOpLogPath), "");
    EXPECT_EQ(ReadFileBytes(test::kLevelLogPath), "");
    EXPECT_EQ(ActiveClient.load(), nullptr);
    EXPECT_FALSE(ProcessLocksAlive());
}

TEST(Exports, NewBufferGivesWritableBlocksThatDelBufferFrees) {
    const std::size_t outstanding = HostBuffers.Count();
    for (unsigned int size : {0u, 1u, 20u, 4096u}) {
        SCOPED_TRACE(size);
        void* block = kesaNewBuffer(size);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(HostBuffers.Contains(block));
        std::memset(block, 0xA5, size);
        kesaDelBuffer(block);
        EXPECT_FALSE(HostBuffers.Contains(block));
    }
    EXPECT_EQ(HostBuffers.Count(), outstanding);
}

#if defined(_WIN64)
// Every x64 test process gives up the room below 4 GiB before main: what the library
// allocates or maps from then on lies above it, so that a pointer cut to 32 bits
// cannot work by luck.
TEST(Exports, X64BlocksAndViewsLieAbove4GiB) {
    ASSERT_TRUE(NubixLowAddressSpaceFilled());
    constexpr std::uintptr_t kFourGiB = 0x100000000ull;
    void* block = kesaNewBuffer(64);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(block), kFourGiB);
    kesaDelBuffer(block);
    std::unique_ptr<char[]> small(new char[16]);
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(small.get()), kFourGiB);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(mapping, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(view), kFourGiB);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}
#endif

// Sizes near 4 GiB: on x86 the block's bookkeeping would wrap the size, and no heap
// can give them; on x64 the heap may give them, and then the whole block is there.
TEST(Exports, NewBufferGivesAWholeBlockOrNullForHugeSizes) {
    const std::size_t outstanding = HostBuffers.Count();
    for (unsigned int size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFEFu, 0xF0000000u}) {
        SCOPED_TRACE(size);
        void* block = kesaNewBuffer(size);
#if defined(_WIN64)
        if (block == nullptr) continue;
        std::size_t held = 0;
        EXPECT_TRUE(HostBuffers.Contains(block, &held));
        EXPECT_EQ(held, size);
        static_cast<unsigned char*>(block)[size - 1] = 0x5A;
        kesaDelBuffer(block);
#else
        EXPECT_EQ(block, nullptr);
#endif
    }
    EXPECT_EQ(HostBuffers.Count(), outstanding);
}

TEST(Exports, DelBufferIgnoresWhatNewBufferDidNotHandOut) {
    void* live = kesaNewBuffer(32);
    ASSERT_NE(live, nullptr);
    std::memset(live, 0x11, 32);
    void* freed = kesaNewBuffer(8);
    kesaDelBuffer(freed);
    void* fromMalloc = std::malloc(32);
    char onStack[32];
    const std::size_t outstanding = HostBuffers.Count();

    const struct {
        const char* name;
        void* pointer;
    } foreign[] = {
        {"null", nullptr},
        {"a stack address", onStack},
        {"a block from the host's malloc", fromMalloc},
        {"the middle of a live block", static_cast<char*>(live) + 1},
        {"just before a live block", static_cast<char*>(live) - 16},
        {"a block already freed", freed},
    };
    for (const auto& f : foreign) {
        SCOPED_TRACE(f.name);
        kesaDelBuffer(f.pointer);
        EXPECT_EQ(HostBuffers.Count(), outstanding);
        EXPECT_TRUE(HostBuffers.Contains(live));
    }
    EXPECT_EQ(std::string(static_cast<char*>(live), 32), std::string(32, '\x11'));
    std::free(fromMalloc);
    kesaDelBuffer(live);
    EXPECT_EQ(HostBuffers.Count(), outstanding - 1);
}

// ---------------------------------------------------------------------------------
// The slots.

TEST(ClientSlots, ReservedAndQuerySlotsLeaveTheClientAsItWas) {
    ClearLogs();
    Client client(kesaCreateVSClient());
    ASSERT_NE(client, nullptr);
    unsigned char before[sizeof(VSClient)];
    std::memcpy(before, Impl(client), sizeof before);

    EXPECT_EQ(client->RestartServer(), 0);
    EXPECT_EQ(client->Reserved3(-1), 0);
    EXPECT_EQ(client->Reserved4(0x7FFFFFFF), 0);
    client->Reserved7(3);
    client->Reserved8(4);
    EXPECT_EQ(client->Reserved10(1, 2, 3, 4), 0);
    EXPECT_EQ(client->GetNotifyWindow(), nullptr);
    RequestBlock request{};
    request.totalLength = 8 + 8;
    std::memcpy(request.path, "C:\\a.bmp", 8);
    EXPECT_EQ(client->CapturePicture(1, &request), 0);
    EXPECT_EQ(client->RequestRecordFile(1, &request), 0);
    char mac[18];
    std::memset(mac, 'x', sizeof mac);
    EXPECT_EQ(client->GetServerMac(mac, sizeof mac), 0);
    EXPECT_EQ(std::string(mac, sizeof mac), std::string(sizeof mac, '\0'));
    // No tables before an open: the parameters have nowhere to go.
    RecordParams params;
    std::memset(&params, 0x3C, sizeof params);
    client->SetRecordParam(0, &params);
    client->SetRecordParam(254, &params);

    EXPECT_EQ(std::memcmp(before, Impl(client), sizeof before), 0);
    EXPECT_EQ(Impl(client)->RecordParamTable, nullptr);
    EXPECT_TRUE(SavedLoginIsZero());
    EXPECT_EQ(ActiveClient.load(), Impl(client));
    client.reset();
    ClearLogs();
}

struct CallbackCall {
    int channel;
    unsigned int kind;
    int tag;
    void* data;
    int length;
};
std::vector<CallbackCall> FirstCalls, SecondCalls;

// Declared with a 32-bit kind, to see the upper half of the argument.
int __stdcall FirstCallback(int channel, unsigned int kind, int tag, void* data, int length) {
    FirstCalls.push_back({channel, kind, tag, data, length});
    return 1;
}
int __stdcall SecondCallback(int channel, unsigned int kind, int tag, void* data, int length) {
    SecondCalls.push_back({channel, kind, tag, data, length});
    return 1;
}
ResultCallback AsResultCallback(int(__stdcall* f)(int, unsigned int, int, void*, int)) {
    return reinterpret_cast<ResultCallback>(reinterpret_cast<void (*)()>(f));
}

TEST(ClientSlots, SetCallbackReplacesTheCallbackAndNullRemovesIt) {
    ClearLogs();
    Client client(kesaCreateVSClient());
    ASSERT_NE(client, nullptr);
    VSClient* impl = Impl(client);
    FirstCalls.clear();
    SecondCalls.clear();
    StatusBlock status{};

    EXPECT_EQ(impl->InvokeCallback(1, KIND_STATUS, 2, &status, 8), 0);  // none yet: dropped

    client->SetCallback(AsResultCallback(FirstCallback));
    impl->InvokeCallback(-1, 0xFFFF, 7, &status, 8);
    ASSERT_EQ(FirstCalls.size(), 1u);
    EXPECT_EQ(FirstCalls[0].channel, -1);
    EXPECT_EQ(FirstCalls[0].kind, 0x0000FFFFu);
    EXPECT_EQ(FirstCalls[0].tag, 7);
    EXPECT_EQ(FirstCalls[0].data, &status);
    EXPECT_EQ(FirstCalls[0].length, 8);

    client->SetCallback(AsResultCallback(SecondCallback));
    impl->InvokeCallback(2, KIND_PICTURE_FILE, 9, nullptr, 0);
    EXPECT_EQ(FirstCalls.size(), 1u);
    ASSERT_EQ(SecondCalls.size(), 1u);
    EXPECT_EQ(SecondCalls[0].kind, 0u);

    client->SetCallback(nullptr);
    EXPECT_EQ(impl->InvokeCallback(2, KIND_RECORD_FILE, 9, nullptr, 0), 0);
    EXPECT_EQ(FirstCalls.size(), 1u);
    EXPECT_EQ(SecondCalls.size(), 1u);
    client.reset();
    ClearLogs();
}

// ---------------------------------------------------------------------------------
// Process-wide state across clients.

TEST(ProcessState, ASecondClientDoesNotReinitialiseTheLocks) {
    ClearLogs();
    Client first(kesaCreateVSClient());
    ASSERT_NE(first, nullptr);
    // Held by this thread while the second client is made: a fresh lock would be
    // free for another thread.
    EnterCriticalSection(&LogLock);
    EnterCriticalSection(&CommandLock);
    Client second(kesaCreateVSClient());
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(FreeForAnotherThread(LogLock));
    EXPECT_FALSE(FreeForAnotherThread(CommandLock));
    LeaveCriticalSection(&CommandLock);
    LeaveCriticalSection(&LogLock);
    EXPECT_TRUE(FreeForAnotherThread(LogLock));
    EXPECT_TRUE(FreeForAnotherThread(CommandLock));
    EXPECT_EQ(ActiveClient.load(), Impl(second));
    second.reset();
    first.reset();
    ClearLogs();
}

TEST(ProcessState, ReleasingTheFirstOfTwoClientsLeavesTheSecondWorking) {
    ClearLogs();
    Client first(kesaCreateVSClient());
    Client second(kesaCreateVSClient());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(ActiveClient.load(), Impl(second));

    first.reset();
    EXPECT_EQ(ActiveClient.load(), Impl(second));
    EXPECT_TRUE(ProcessLocksAlive());
    EXPECT_TRUE(FreeForAnotherThread(LogLock));
    EXPECT_TRUE(FreeForAnotherThread(CommandLock));
    std::thread([] { WriteOpLog(0, "second still logs"); }).join();

    second.reset();
    EXPECT_EQ(ActiveClient.load(), nullptr);
    EXPECT_FALSE(ProcessLocksAlive());
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"视频接口建立！", "视频接口建立！",
                                                       "视频接口退出！", "second still logs",
                                                       "视频接口退出！"}));
    ClearLogs();
}

TEST(ProcessState, AClientMadeAfterAReleasedOneStartsClean) {
    ClearLogs();
    Client first(kesaCreateVSClient());
    ASSERT_NE(first, nullptr);
    // As an open that found the viewer leaves it.
    std::memset(&SavedLogin, 0x5A, sizeof SavedLogin);
    first.reset();
    EXPECT_EQ(ActiveClient.load(), nullptr);

    Client second(kesaCreateVSClient());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ActiveClient.load(), Impl(second));
    EXPECT_TRUE(SavedLoginIsZero());
    VSClient* impl = Impl(second);
    EXPECT_EQ(impl->notifyWindow, nullptr);
    EXPECT_EQ(impl->ChannelTable, nullptr);
    EXPECT_EQ(impl->RecordParamTable, nullptr);
    EXPECT_EQ(impl->channelCount, 0);
    EXPECT_EQ(impl->callback, nullptr);
    EXPECT_EQ(impl->serverOpen, 0);
    second.reset();
    EXPECT_EQ(ActiveClient.load(), nullptr);
    EXPECT_EQ(OpLogTexts(), (std::vector<std::string>{"视频接口建立！", "视频接口退出！",
                                                       "视频接口建立！", "视频接口退出！"}));
    ClearLogs();
}

}  // namespace
}  // namespace nubix
