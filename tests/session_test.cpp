// nubix::Session (include/NubixVSClientSession.hpp) as a host uses it: this program
// sees the library only through the public headers and the DLL's import library, and
// runs against the viewer simulator. None of its threads runs a message loop while a
// session serves it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "NubixVSClientSession.hpp"
#include "support/host_dir.h"
#include "support/log_files.h"

namespace nubix::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

constexpr seconds kOpenTimeout{30};
constexpr seconds kLong{30};

// What the session's handler received.
struct HandlerCall {
    DWORD thread;
    int channel;
    unsigned kind;
    int tag;
    std::string data;
};

class HandlerCalls {
public:
    Session::Handler Handler() {
        return [this](int channel, unsigned short kind, int tag, const void* data, int length) {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back({GetCurrentThreadId(), channel, kind, tag,
                              std::string(static_cast<const char*>(data), length > 0 ? length : 0)});
        };
    }
    std::vector<HandlerCall> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<HandlerCall> calls_;
};

StatusBlock StatusOf(const HandlerCall& call) {
    StatusBlock status = {};
    if (call.data.size() == sizeof status) std::memcpy(&status, call.data.data(), sizeof status);
    return status;
}

bool WaitUntil(const std::function<bool()>& done, milliseconds limit = milliseconds(10000)) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

bool Ended(DWORD threadId) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (thread == nullptr) return true;
    const bool ended = WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllViewers();
        ClearLogs();
        CreateControlKey();
        files_ = HostPath("session_test_files");
        CreateDirectoryA(files_.c_str(), nullptr);
        Script({"write_files=0"});
    }
    void TearDown() override {
        EndAllViewers();
        script_.reset();
        SetEnvironmentVariableA("VANTO_MODE", nullptr);
        CreateControlKey();
        for (const std::string& path : made_) DeleteFileA(path.c_str());
        RemoveDirectoryA(files_.c_str());
    }

    void Script(const std::vector<std::string>& lines) {
        script_.reset();
        script_ = std::make_unique<ViewerScript>(lines);
    }
    std::vector<JournalEntry> Events(const std::string& event) const {
        return JournalEvents(script_->JournalPath(), event);
    }
    std::size_t Commands(int code) const {
        std::size_t n = 0;
        for (const JournalEntry& e : Events("command")) n += e.Number("code") == code ? 1 : 0;
        return n;
    }
    // A path in the test's folder; the file is removed before and after the test.
    std::string File(const std::string& name) {
        const std::string path = files_ + "\\" + name;
        DeleteFileA(path.c_str());
        made_.push_back(path);
        return path;
    }
    static OpenStatus Open(Session& session) {
        return session.Open("192.168.1.20", "admin", "secret", kOpenTimeout);
    }
    // The library's last picture channel lives as long as the process.
    void PictureChannelToZero() {
        Script({"write_files=0"});
        Session session;
        ASSERT_EQ(Open(session), OpenStatus::Opened);
        ASSERT_TRUE(session.CapturePicture(0, "C:\\session\\zero.bmp", kLong).ok());
        session.Close();
        EndAllViewers();
    }

    std::unique_ptr<ViewerScript> script_;
    std::string files_;
    std::vector<std::string> made_;
};

// ---- many host threads, one session ----

TEST_F(SessionTest, FourThreadsOfTwoHundredFiftyRequestsEachGetExactlyTheirOwnResults) {
    HandlerCalls handler;
    Session session(handler.Handler());
    ASSERT_EQ(Open(session), OpenStatus::Opened);

    constexpr int kThreads = 4, kPerThread = 250, kRestartEvery = 50;
    struct Made {
        std::string path;
        RequestResult result;
    };
    std::vector<std::vector<Made>> made(kThreads);
    std::set<int> restartTags;
    std::mutex restartMutex;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Two threads wait for each result, two hand all theirs over first.
            const bool blocking = t < 2;
            std::vector<std::future<RequestResult>> futures;
            for (int i = 0; i < kPerThread; ++i) {
                const bool picture = i % 2 == 0;
                const std::string path =
                    "C:\\session\\t" + std::to_string(t) + "-" + std::to_string(i) + (picture ? ".bmp" : ".rec");
                made[t].push_back({path, {}});
                // Pictures stay on channel 0: a change of channel costs a second.
                const int channel = picture ? 0 : 1 + t;
                if (blocking) {
                    made[t].back().result = picture ? session.CapturePicture(channel, path, kLong)
                                                    : session.RequestRecordFile(channel, path, kLong);
                } else {
                    futures.push_back(picture ? session.CapturePictureAsync(channel, path, kLong)
                                              : session.RequestRecordFileAsync(channel, path, kLong));
                }
                if (i % kRestartEvery == 0) {
                    // A report of no request of the session's, in the middle of the load.
                    const int tag = 1000 * t + i;
                    {
                        std::lock_guard<std::mutex> lock(restartMutex);
                        restartTags.insert(tag);
                    }
                    session
                        .WithClient([tag](IVSClient& client) {
                            return PostMessageA(client.GetNotifyWindow(), MSG_RESTART_SERVER, 0, tag);
                        })
                        .get();
                }
            }
            for (std::size_t i = 0; i < futures.size(); ++i) made[t][i].result = futures[i].get();
        });
    }
    for (std::thread& thread : threads) thread.join();

    std::set<int> tags;
    std::map<int, std::string> pathOfTag;
    for (const std::vector<Made>& ofThread : made) {
        for (const Made& m : ofThread) {
            EXPECT_EQ(m.result.status, RequestStatus::Succeeded) << m.path;
            EXPECT_EQ(m.result.path, m.path);
            EXPECT_GE(m.result.tag, Session::kFirstTag);
            tags.insert(m.result.tag);
            pathOfTag[m.result.tag] = m.path;
        }
    }
    EXPECT_EQ(tags.size(), static_cast<std::size_t>(kThreads * kPerThread)) << "every request its own tag";

    // The viewer answered each tag with the path that request asked for.
    const std::vector<JournalEntry> results = Events("result");
    EXPECT_EQ(results.size(), static_cast<std::size_t>(kThreads * kPerThread));
    for (const JournalEntry& r : results) EXPECT_EQ(r.Get("path"), pathOfTag[static_cast<int>(r.Number("tag"))]);

    // The restarts reached the handler, once each, and every callback ran on the
    // session's thread, which owns the notification window.
    const DWORD sessionThread = session.ThreadId();
    ASSERT_NE(sessionThread, 0u);
    EXPECT_NE(sessionThread, GetCurrentThreadId());
    EXPECT_EQ(session.WithClient([](IVSClient& c) { return GetWindowThreadProcessId(c.GetNotifyWindow(), nullptr); })
                  .get(),
              sessionThread);
    std::set<int> reported;
    for (const HandlerCall& call : handler.Calls()) {
        EXPECT_EQ(call.thread, sessionThread);
        EXPECT_EQ(call.channel, -1);
        EXPECT_EQ(call.kind, static_cast<unsigned>(KIND_STATUS));
        EXPECT_EQ(StatusOf(call).operation, STATUS_OP_RESTART);
        EXPECT_TRUE(reported.insert(call.tag).second) << "tag " << call.tag << " twice";
    }
    EXPECT_EQ(reported, restartTags);
}

// ---- callbacks of no request of the session's ----

TEST_F(SessionTest, CallbacksOfNoRequestOfTheSessionGoToTheHandlerOnTheSessionThread) {
    HandlerCalls handler;
    Session session(handler.Handler());
    ASSERT_EQ(Open(session), OpenStatus::Opened);

    // A restart, and a record file the host asks for itself with a tag of its own.
    const std::string path = "C:\\session\\own.rec";
    const int taken = session
                          .WithClient([&](IVSClient& client) {
                              PostMessageA(client.GetNotifyWindow(), MSG_RESTART_SERVER, 0, 77);
                              std::vector<char> block(8 + path.size() + 1, '\0');
                              const int total = static_cast<int>(block.size()), tag = 5;
                              std::memcpy(&block[0], &total, 4);
                              std::memcpy(&block[4], &tag, 4);
                              std::memcpy(&block[8], path.data(), path.size());
                              return client.RequestRecordFile(3, reinterpret_cast<const RequestBlock*>(block.data()));
                          })
                          .get();
    EXPECT_EQ(taken, 1);
    ASSERT_TRUE(WaitUntil([&] { return handler.Calls().size() >= 3; }));
    // The session's own requests are not among them.
    EXPECT_TRUE(session.RequestRecordFile(3, "C:\\session\\mine.rec", kLong).ok());

    const std::vector<HandlerCall> calls = handler.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].channel, -1);
    EXPECT_EQ(calls[0].tag, 77);
    EXPECT_EQ(StatusOf(calls[0]).operation, STATUS_OP_RESTART);
    EXPECT_EQ(StatusOf(calls[0]).outcome, -1);
    EXPECT_EQ(calls[1].kind, static_cast<unsigned>(KIND_STATUS));
    EXPECT_EQ(calls[1].tag, 5);
    EXPECT_EQ(StatusOf(calls[1]).operation, STATUS_OP_RECORD_FILE);
    EXPECT_EQ(StatusOf(calls[1]).outcome, 0);
    EXPECT_EQ(calls[2].kind, static_cast<unsigned>(KIND_RECORD_FILE));
    EXPECT_EQ(calls[2].tag, 5);
    EXPECT_EQ(calls[2].channel, 3);
    EXPECT_EQ(calls[2].data, path);
    for (const HandlerCall& call : calls) EXPECT_EQ(call.thread, session.ThreadId());
}

// A handler that throws, or waits for a result on the thread that must deliver it,
// does not take the session down.
TEST_F(SessionTest, HandlerThatThrowsOrBlocksOnTheSessionThreadLeavesTheSessionWorking) {
    std::atomic<int> calls{0};
    std::atomic<bool> blockingRefused{false};
    std::unique_ptr<Session> session;
    session = std::make_unique<Session>([&](int, unsigned short, int tag, const void*, int) {
        ++calls;
        if (tag == 1) {
            try {
                session->CapturePicture(0, "C:\\session\\never.bmp", kLong);
            } catch (const std::logic_error&) {
                blockingRefused = true;
            }
        }
        throw std::runtime_error("host fault");
    });
    ASSERT_EQ(Open(*session), OpenStatus::Opened);
    for (int tag : {1, 2}) {
        session->WithClient([tag](IVSClient& c) { return PostMessageA(c.GetNotifyWindow(), MSG_RESTART_SERVER, 0, tag); })
            .get();
    }
    ASSERT_TRUE(WaitUntil([&] { return calls == 2; }));
    EXPECT_TRUE(blockingRefused);
    EXPECT_TRUE(session->RequestRecordFile(0, "C:\\session\\after.rec", kLong).ok());
    EXPECT_EQ(Commands(2), 0u) << "the refused blocking request was never sent";
    session.reset();
}

// ---- viewers that do not answer as they should ----

TEST_F(SessionTest, ViewerThatSendsNoResultTimesOutOnTime) {
    Script({"results=none", "write_files=0"});
    HandlerCalls handler;
    Session session(handler.Handler());
    ASSERT_EQ(Open(session), OpenStatus::Opened);

    const Clock::time_point start = Clock::now();
    const RequestResult result = session.RequestRecordFile(0, "C:\\session\\silent.rec", milliseconds(500));
    const auto took = Clock::now() - start;
    EXPECT_EQ(result.status, RequestStatus::TimedOut);
    EXPECT_GE(took, milliseconds(490));
    EXPECT_LT(took, milliseconds(3500));
    EXPECT_EQ(Commands(3), 1u);
    EXPECT_TRUE(handler.Calls().empty());
}

// The late result belongs to a request that has ended: it is dropped, and the
// request after it gets its own.
TEST_F(SessionTest, LateResultIsDroppedAndTheNextRequestGetsItsOwn) {
    Script({"result_delay_ms=1500", "write_files=0"});
    HandlerCalls handler;
    Session session(handler.Handler());
    ASSERT_EQ(Open(session), OpenStatus::Opened);

    const RequestResult first = session.RequestRecordFile(0, "C:\\session\\late.rec", milliseconds(300));
    EXPECT_EQ(first.status, RequestStatus::TimedOut);
    const RequestResult second = session.RequestRecordFile(0, "C:\\session\\next.rec", kLong);
    EXPECT_EQ(second.status, RequestStatus::Succeeded);
    EXPECT_EQ(second.path, "C:\\session\\next.rec");
    EXPECT_NE(second.tag, first.tag);
    ASSERT_EQ(Events("result").size(), 2u) << "the late result was sent";
    EXPECT_TRUE(handler.Calls().empty());
}

struct ViewerAnswer {
    const char* name;
    std::vector<std::string> script;
    bool picture;
    RequestStatus first;
    RequestStatus second;
    std::size_t viewersStarted;
};

class SessionViewerAnswer : public SessionTest, public ::testing::WithParamInterface<ViewerAnswer> {};

// Each of two requests in a row gets the status of what the viewer did with it.
TEST_P(SessionViewerAnswer, EachRequestReportsWhatTheViewerDid) {
    const ViewerAnswer& c = GetParam();
    // A first picture on another channel than the last one would send a channel
    // record first, which the script counts as a capture.
    if (c.picture) PictureChannelToZero();
    std::vector<std::string> lines = c.script;
    lines.push_back("write_files=0");
    Script(lines);
    Session session;
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    const std::string first = std::string("C:\\session\\first") + (c.picture ? ".bmp" : ".rec");
    const std::string second = std::string("C:\\session\\second") + (c.picture ? ".bmp" : ".rec");

    auto request = [&](const std::string& path) {
        return c.picture ? session.CapturePicture(0, path, kLong) : session.RequestRecordFile(0, path, kLong);
    };
    const RequestResult a = request(first);
    const RequestResult b = request(second);
    EXPECT_EQ(a.status, c.first);
    EXPECT_EQ(b.status, c.second);
    EXPECT_EQ(a.path, c.first == RequestStatus::Succeeded ? first : "");
    EXPECT_EQ(b.path, c.second == RequestStatus::Succeeded ? second : "");
    EXPECT_EQ(Events("start").size(), c.viewersStarted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionViewerAnswer,
    ::testing::Values(
        // A command the viewer does not take re-opens the server with a new viewer.
        ViewerAnswer{"RefusesTheCapture", {"1.capture=refuse"}, true, RequestStatus::NotTaken,
                     RequestStatus::Succeeded, 2},
        ViewerAnswer{"RefusesTheRecordFile", {"1.record=refuse"}, false, RequestStatus::NotTaken,
                     RequestStatus::Succeeded, 2},
        ViewerAnswer{"RefusesEveryRecordFile", {"record=refuse"}, false, RequestStatus::NotTaken,
                     RequestStatus::NotTaken, 3},
        ViewerAnswer{"PictureFails", {"picture_result=0"}, true, RequestStatus::ViewerFailed,
                     RequestStatus::ViewerFailed, 1},
        // Only 1 is a picture's success; any non-zero result is a record file's.
        ViewerAnswer{"PictureResultTwoFails", {"picture_result=2"}, true, RequestStatus::ViewerFailed,
                     RequestStatus::ViewerFailed, 1},
        ViewerAnswer{"RecordFileFails", {"record_result=0"}, false, RequestStatus::ViewerFailed,
                     RequestStatus::ViewerFailed, 1},
        ViewerAnswer{"RecordFileResultTwoSucceeds", {"record_result=2"}, false, RequestStatus::Succeeded,
                     RequestStatus::Succeeded, 1},
        // The viewer dies in the middle of the command; the one started after it serves.
        ViewerAnswer{"DiesDuringTheCommand", {"1.exit=record:1"}, false, RequestStatus::NotTaken,
                     RequestStatus::Succeeded, 2}),
    [](const ::testing::TestParamInfo<ViewerAnswer>& info) { return std::string(info.param.name); });

// A viewer killed between requests: the request that finds it gone is not taken,
// the library starts another, and the session goes on.
TEST_F(SessionTest, ViewerKilledMidSessionIsReplacedAndTheSessionGoesOn) {
    Session session;
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    EXPECT_TRUE(session.RequestRecordFile(0, "C:\\session\\before.rec", kLong).ok());
    HWND viewer = FindWindowA(nullptr, "QUIL");
    ASSERT_NE(viewer, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 9);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));

    EXPECT_EQ(session.RequestRecordFile(0, "C:\\session\\lost.rec", kLong).status, RequestStatus::NotTaken);
    EXPECT_EQ(Events("start").size(), 2u);
    const RequestResult after = session.RequestRecordFile(0, "C:\\session\\after.rec", kLong);
    EXPECT_EQ(after.status, RequestStatus::Succeeded);
    EXPECT_EQ(after.path, "C:\\session\\after.rec");
}

// ---- requests the library would refuse ----

TEST_F(SessionTest, RequestOutsideTheLibrarysLimitsIsRefusedAtOnceAndNeverSent) {
    Session session;
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    const std::string dir = "C:\\session\\";
    const std::string longest = dir + std::string(256 - dir.size() - 8, 'd') + "\\" + std::string(7, 'n');
    const std::string cases[] = {
        "",
        dir + std::string(64, 'n'),                     // file name of 64 characters
        longest + "x",                                 // path of 257 characters
        dir,                                           // no file name
        std::string("C:\\session\\a\0b.rec", 18),      // a NUL inside
    };
    for (const std::string& path : cases) {
        EXPECT_FALSE(Session::RequestFits(path)) << path;
        std::future<RequestResult> future = session.RequestRecordFileAsync(0, path, kLong);
        ASSERT_EQ(future.wait_for(seconds(0)), std::future_status::ready) << path;
        const RequestResult result = future.get();
        EXPECT_EQ(result.status, RequestStatus::Refused) << path;
        EXPECT_EQ(result.tag, 0);
        EXPECT_EQ(session.CapturePicture(0, path, kLong).status, RequestStatus::Refused) << path;
    }
    EXPECT_EQ(Events("command").size(), 1u) << "only the open command";

    // The edges that fit: a path of 256 characters, a file name of 63.
    ASSERT_EQ(longest.size(), 256u);
    EXPECT_TRUE(session.RequestRecordFile(0, longest, kLong).ok());
    EXPECT_TRUE(session.RequestRecordFile(0, dir + std::string(63, 'n'), kLong).ok());
}

// ---- closing ----

TEST_F(SessionTest, DestroyedWithRequestsInFlightEndsThemClosedAndLeavesNothingBehind) {
    Script({"result_delay_ms=800", "write_files=0"});
    HandlerCalls handler;
    auto session = std::make_unique<Session>(handler.Handler());
    ASSERT_EQ(Open(*session), OpenStatus::Opened);
    ASSERT_TRUE(session->CapturePicture(8, "C:\\session\\eight.bmp", kLong).ok());

    // One request sent and waiting for its result; a picture on another channel, so
    // that the session thread sits in the library's one-second wait; five more behind.
    std::vector<std::future<RequestResult>> inFlight;
    inFlight.push_back(session->RequestRecordFileAsync(0, "C:\\session\\sent.rec", kLong));
    ASSERT_TRUE(WaitUntil([&] { return Commands(3) == 1; }));
    const std::size_t captures = Commands(2);
    inFlight.push_back(session->CapturePictureAsync(9, "C:\\session\\nine.bmp", kLong));
    for (int i = 0; i < 5; ++i) {
        inFlight.push_back(session->RequestRecordFileAsync(i, "C:\\session\\r" + std::to_string(i) + ".rec", kLong));
    }
    ASSERT_TRUE(WaitUntil([&] { return Commands(2) > captures; })) << "the channel record of 9 is out";
    const DWORD sessionThread = session->ThreadId();

    const Clock::time_point start = Clock::now();
    session.reset();
    EXPECT_LT(Clock::now() - start, seconds(5));
    for (std::future<RequestResult>& f : inFlight) {
        ASSERT_EQ(f.wait_for(seconds(0)), std::future_status::ready);
        EXPECT_EQ(f.get().status, RequestStatus::Closed);
    }
    EXPECT_TRUE(Ended(sessionThread));
    EXPECT_EQ(Commands(3), 1u) << "nothing that waited was sent after the close";
    EXPECT_TRUE(WaitUntil([] { return FindWindowA(nullptr, "QUIL") == nullptr; })) << "the viewer was asked to quit";
    // Results the viewer still had to send found no window and no session.
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_TRUE(handler.Calls().empty());

    // The process's one client is free again.
    Session next;
    ASSERT_EQ(Open(next), OpenStatus::Opened);
    EXPECT_TRUE(next.RequestRecordFile(0, "C:\\session\\next.rec", kLong).ok());
}

TEST_F(SessionTest, CloseFromAnotherThreadEndsARequestWaitingForItsResult) {
    Script({"results=none", "write_files=0"});
    Session session;
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    std::future<RequestResult> waiting = std::async(std::launch::async, [&] {
        return session.RequestRecordFile(0, "C:\\session\\waits.rec", kLong);
    });
    ASSERT_TRUE(WaitUntil([&] { return Commands(3) == 1; }));
    session.Close();
    ASSERT_EQ(waiting.wait_for(seconds(2)), std::future_status::ready);
    EXPECT_EQ(waiting.get().status, RequestStatus::Closed);
    EXPECT_FALSE(session.IsOpen());
}

TEST_F(SessionTest, ClosedOrNeverOpenedSessionAnswersEveryCallAtOnce) {
    Session session;
    auto check = [&](const char* when) {
        EXPECT_FALSE(session.IsOpen()) << when;
        EXPECT_EQ(session.ThreadId(), 0u) << when;
        EXPECT_EQ(session.CapturePicture(0, "C:\\session\\a.bmp", kLong).status, RequestStatus::Closed) << when;
        EXPECT_EQ(session.RequestRecordFileAsync(0, "C:\\session\\a.rec", kLong).get().status, RequestStatus::Closed)
            << when;
        EXPECT_FALSE(session.SetRecordParams(0, RecordParams{})) << when;
        EXPECT_FALSE(session.ServerMac().has_value()) << when;
        std::future<int> f = session.WithClient([](IVSClient&) { return 1; });
        EXPECT_THROW(f.get(), SessionClosedError) << when;
    };
    check("never opened");
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    session.Close();
    check("closed");
    session.Close();  // a second close does nothing
}

// ---- a console host ----

// The host's thread never dispatches a message and owns no window: the notification
// window belongs to the session's thread, which does all the dispatching.
TEST_F(SessionTest, ConsoleHostWithNoMessageLoopGetsEveryResult) {
    Script({});
    const std::string picture = File("console.bmp");
    const std::string record = File("console.rec");
    struct Seen {
        OpenStatus open = OpenStatus::Failed;
        RequestResult picture, record;
        bool params = false, paramsOutOfRange = true, mac = true;
        DWORD host = 0, windowThread = 0;
        int hostWindows = -1;
    } seen;
    std::thread host([&] {
        {
            Session session;
            seen.open = Open(session);
            seen.picture = session.CapturePicture(0, picture, kLong);
            seen.record = session.RequestRecordFileAsync(6, record, kLong).get();
            RecordParams params = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
            seen.params = session.SetRecordParams(4, params);
            seen.paramsOutOfRange = session.SetRecordParams(255, params);
            seen.mac = session.ServerMac().has_value();
            seen.host = GetCurrentThreadId();
            seen.windowThread =
                session.WithClient([](IVSClient& c) { return GetWindowThreadProcessId(c.GetNotifyWindow(), nullptr); })
                    .get();
            seen.hostWindows = 0;
            EnumThreadWindows(seen.host, CountWindow, reinterpret_cast<LPARAM>(&seen.hostWindows));
        }
    });
    host.join();

    ASSERT_EQ(seen.open, OpenStatus::Opened);
    EXPECT_EQ(seen.picture.status, RequestStatus::Succeeded);
    EXPECT_EQ(seen.picture.path, picture);
    EXPECT_EQ(ReadFileBytes(picture.c_str()).substr(0, 2), "BM");
    EXPECT_EQ(seen.record.status, RequestStatus::Succeeded);
    EXPECT_EQ(ReadFileBytes(record.c_str()).substr(0, 11), "QUIL RECORD");
    EXPECT_TRUE(seen.params);
    EXPECT_FALSE(seen.paramsOutOfRange);
    EXPECT_FALSE(seen.mac) << "Wine gives no ARP answer";
    EXPECT_NE(seen.windowThread, 0u);
    EXPECT_NE(seen.windowThread, seen.host);
    EXPECT_EQ(seen.hostWindows, 0);
    const std::vector<std::string> texts = OpLogTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "设置录象参数"), 1);
    EXPECT_EQ(Events("quit").size(), 1u);
}

// ---- opening ----

struct OpenCase {
    const char* name;
    std::vector<std::string> script;
};

class SessionOpenFails : public SessionTest, public ::testing::WithParamInterface<OpenCase> {};

// The attempt is closed again, so the viewer it started is asked to quit, and the
// same session opens once the viewer behaves.
TEST_P(SessionOpenFails, FailedOpenClosesTheAttemptAndTheSessionOpensLater) {
    Script(GetParam().script);
    Session session;
    EXPECT_EQ(Open(session), OpenStatus::Failed);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(session.ThreadId(), 0u);
    EXPECT_TRUE(WaitUntil([] { return FindWindowA(nullptr, "QUIL") == nullptr; })) << "every viewer asked to quit";

    Script({"write_files=0"});
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    EXPECT_TRUE(session.RequestRecordFile(0, "C:\\session\\later.rec", kLong).ok());
}

INSTANTIATE_TEST_SUITE_P(Cases, SessionOpenFails,
                         ::testing::Values(OpenCase{"ViewerReportsFailure", {"open_result=failure"}},
                                           OpenCase{"NoRendezvous", {"mapping=skip"}},
                                           OpenCase{"ViewerRefusesTheOpen", {"open=refuse", "open_result=none"}}),
                         [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST_F(SessionTest, OpeningAgainstAControlThatWillNotRegisterFailsUntilItRegisters) {
    DeleteControlKey();
    SetEnvironmentVariableA("VANTO_MODE", "fail");
    Session session;
    EXPECT_EQ(Open(session), OpenStatus::Failed);
    EXPECT_EQ(FindWindowA(nullptr, "QUIL"), nullptr) << "no viewer was started";
    EXPECT_TRUE(Events("start").empty());
    const std::vector<std::string> level = LevelLogMessages();
    ASSERT_FALSE(level.empty());
    EXPECT_NE(level.back().find("不能在此计算机上注册！"), std::string::npos) << level.back();
    EXPECT_EQ(session.RequestRecordFile(0, "C:\\session\\none.rec", kLong).status, RequestStatus::Closed);

    SetEnvironmentVariableA("VANTO_MODE", nullptr);
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    EXPECT_TRUE(ControlKeyExists());
    EXPECT_TRUE(session.RequestRecordFile(0, "C:\\session\\registered.rec", kLong).ok());
}

TEST_F(SessionTest, OneSessionOpenAtATimeInAProcess) {
    Session first, second;
    ASSERT_EQ(Open(first), OpenStatus::Opened);
    EXPECT_EQ(Open(first), OpenStatus::AlreadyOpen);
    EXPECT_EQ(Open(second), OpenStatus::InUse);
    EXPECT_EQ(second.RequestRecordFile(0, "C:\\session\\second.rec", kLong).status, RequestStatus::Closed);
    first.Close();
    ASSERT_EQ(Open(second), OpenStatus::Opened);
    EXPECT_TRUE(second.RequestRecordFile(0, "C:\\session\\second.rec", kLong).ok());
}

// A viewer stuck on the open command: Open gives up on time, the attempt ends once
// the library's open returns (here: once the stuck viewer is ended), and only then
// can the session open again.
TEST_F(SessionTest, OpenThatTimesOutIsGivenUpAndClosedWhenTheLibraryReturns) {
    Script({"1.hang=open", "write_files=0"});
    Session session;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(session.Open("192.168.1.20", "admin", "secret", milliseconds(700)), OpenStatus::TimedOut);
    EXPECT_LT(Clock::now() - start, seconds(4));
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(session.Open("192.168.1.20", "admin", "secret", milliseconds(100)), OpenStatus::InUse);
    const DWORD attempt = session.ThreadId();
    EXPECT_NE(attempt, 0u);

    EndAllViewers();  // the library's open command fails, it re-opens, and returns
    ASSERT_TRUE(Ended(attempt));
    EndAllViewers();
    ASSERT_EQ(Open(session), OpenStatus::Opened);
    EXPECT_TRUE(session.RequestRecordFile(0, "C:\\session\\at-last.rec", kLong).ok());
}

}  // namespace
}  // namespace nubix::test
