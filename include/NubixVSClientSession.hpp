/*
 * nubix::Session: results without a message loop of your own, for C++17 hosts.
 *
 * Header-only, built on NubixVSClient.h and the DLL's four exports alone; it is
 * compiled into the host, not into the DLL, so it uses exceptions and the standard
 * library freely.
 *
 *   nubix::Session session;
 *   if (session.Open("192.168.1.20", "admin", "secret", std::chrono::seconds(30)) ==
 *       nubix::OpenStatus::Opened) {
 *       nubix::RequestResult r = session.CapturePicture(2, "C:\\pictures\\ch2.bmp",
 *                                                       std::chrono::seconds(5));
 *       if (r.ok()) std::printf("picture: %s\n", r.path.c_str());
 *   }                                    // the destructor closes the session
 *
 * The session owns a thread of its own. On it the client is created, the server
 * opened, the message loop run, and the client closed and released again, so the
 * library's rule (open, dispatch, receive every callback and close on one thread) is
 * kept for the host. Every call on the client runs on that thread: the host's calls
 * are handed to it as work items and answered through futures. A library call that
 * takes long holds up everything behind it: a picture on another channel than the
 * previous picture costs that thread one second, and a viewer that does not answer a
 * command holds it for the library's command bound (60 s) and the re-open that
 * follows. Time-outs still end on time: they are kept by a second, small thread.
 *
 * Requests get tags of the session's own, from kFirstTag upward. Each callback with
 * such a tag is matched to its request; a result for a request that has already
 * ended (timed out, closed) is dropped. Callbacks that belong to no request of the
 * session (a restart report, results of requests the host made itself on the client
 * through WithClient) go to the optional handler given to the constructor; a host
 * that makes requests itself uses tags below kFirstTag.
 *
 * The handler runs on the session thread, inside the library's window procedure:
 * keep it short, and let it wait for nothing that a thread closing the session
 * holds. What it throws is dropped there, since nothing may unwind into the library.
 * Work handed to the session runs in order, and after every message posted to the
 * session thread before it was handed over.
 *
 * Closing stops the handler first, then ends the requests still in flight, closes
 * the server on the session thread and waits for that thread to end; only then are
 * the session's members destroyed. A callback that runs while the session is being
 * destroyed therefore still finds it whole, and none can come later: the close has
 * destroyed the notification window.
 *
 * One client exists in a process at a time, so one session is open at a time; Open
 * answers InUse for a second one. (The guard covers the sessions of one module: a
 * host made of several modules opens its session from one of them.)
 */
#ifndef NUBIX_VS_CLIENT_SESSION_HPP
#define NUBIX_VS_CLIENT_SESSION_HPP

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "NubixVSClient.h"

namespace nubix {

// How a picture or record-file request ended.
enum class RequestStatus {
    Succeeded,     // the viewer produced the file: RequestResult::path
    NotTaken,      // the viewer did not take the command (the library then re-opened the server)
    ViewerFailed,  // the viewer took the command and reported failure
    TimedOut,      // no outcome within the request's time-out
    Closed,        // the session closed before the outcome was known, or was not open
    Refused,       // the request breaks the library's limits (see RequestFits): nothing was sent
};

inline const char* ToString(RequestStatus status) {
    switch (status) {
        case RequestStatus::Succeeded: return "succeeded";
        case RequestStatus::NotTaken: return "not taken by the viewer";
        case RequestStatus::ViewerFailed: return "failed in the viewer";
        case RequestStatus::TimedOut: return "no outcome in time";
        case RequestStatus::Closed: return "session closed";
        case RequestStatus::Refused: return "refused: outside the library's limits";
    }
    return "unknown";
}

struct RequestResult {
    RequestStatus status = RequestStatus::Closed;
    std::string path;  // Succeeded: the produced file's path, as the library reported it
    int tag = 0;       // the tag the session gave the request; 0 when it was refused at once
    bool ok() const { return status == RequestStatus::Succeeded; }
};

enum class OpenStatus {
    Opened,       // the server is open; requests may follow
    Failed,       // the library could not open it (control, viewer or login: see c:\nv.log, c:\vs.log)
    TimedOut,     // no outcome in time: the attempt is given up and closed once the library returns
    AlreadyOpen,  // this session is open already
    InUse,        // another session of this process is open, or a given-up attempt still ends
};

// WithClient's future throws this when the session closed before the function ran.
class SessionClosedError : public std::runtime_error {
public:
    SessionClosedError() : std::runtime_error("nubix::Session is not open") {}
};

class Session {
public:
    using Milliseconds = std::chrono::milliseconds;
    // A callback that belongs to no request of the session, with the library's
    // arguments; data lives only during the call. Runs on the session thread.
    using Handler = std::function<void(int channel, unsigned short kind, int tag, const void* data, int length)>;

    // The session's tags run from here to INT_MAX, then start here again.
    static constexpr int kFirstTag = 0x40000000;

    explicit Session(Handler unsolicited = nullptr) : handler_(std::move(unsolicited)) {}
    // Closes: see Close. Never destroy a session from its own thread (its handler or a
    // WithClient function).
    ~Session() { Close(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the session thread, which creates the client and opens the server. Waits
    // at most `timeout` for the outcome. After Failed or TimedOut the session may be
    // opened again (TimedOut: once the given-up attempt has ended; until then InUse).
    OpenStatus Open(const std::string& address, const std::string& user, const std::string& password,
                    Milliseconds timeout);

    // Ends every request still in flight with Closed, closes the server on the session
    // thread, releases the client and ends the thread; waits for an open still in
    // progress. After it returns the handler is not called again. From the session
    // thread itself it only asks for the close; the destructor or the next Open waits.
    void Close();

    bool IsOpen() const;

    // The session thread's id while it runs, else 0.
    DWORD ThreadId() const;

    // Asks for a picture of `channel` written to `path` (directory and file name
    // separated by backslashes) and returns once the outcome is known, at most
    // `timeout` after the call. Not from the session thread (std::logic_error): its
    // results arrive there.
    RequestResult CapturePicture(int channel, const std::string& path, Milliseconds timeout) {
        RejectOnSessionThread();
        return CapturePictureAsync(channel, path, timeout).get();
    }
    RequestResult RequestRecordFile(int channel, const std::string& path, Milliseconds timeout) {
        RejectOnSessionThread();
        return RequestRecordFileAsync(channel, path, timeout).get();
    }
    // The same, returning at once; the future is ready at the latest `timeout` after
    // the call.
    std::future<RequestResult> CapturePictureAsync(int channel, const std::string& path, Milliseconds timeout) {
        return Submit(Operation::Picture, channel, path, timeout);
    }
    std::future<RequestResult> RequestRecordFileAsync(int channel, const std::string& path, Milliseconds timeout) {
        return Submit(Operation::RecordFile, channel, path, timeout);
    }

    // Sets the 12 recording-parameter bytes of `channel` (0 to 254) through the
    // notification window, as MSG_SET_RECORD_PARAM; returns once the library has
    // taken them. False when the session is not open or the channel is out of range.
    // The library starts the table from zeros at every (re-)open.
    bool SetRecordParams(int channel, const RecordParams& params);

    // The server's hardware address as 12 uppercase hex digits, or nothing when it is
    // not found or the session is not open (under Wine: always nothing).
    std::optional<std::string> ServerMac();

    // Runs f(IVSClient&) on the session thread and returns its result through the
    // future; the future throws SessionClosedError when the session closed first, and
    // whatever f threw. Called on the session thread, f runs at once. f must not
    // close, open or release the client, nor replace its callback.
    template <class F>
    auto WithClient(F f) -> std::future<std::invoke_result_t<F&, IVSClient&>> {
        using R = std::invoke_result_t<F&, IVSClient&>;
        return Post<R>([f = std::move(f)](IVSClient* client) mutable -> R {
            if (client == nullptr) throw SessionClosedError();
            return f(*client);
        });
    }

    // Whether a path fits the library's request limits: 1 to 256 characters, no NUL,
    // and a file-name part (after the last backslash) of 1 to 63 characters.
    static bool RequestFits(const std::string& path) {
        if (path.empty() || path.size() > kMaxPath || path.find('\0') != std::string::npos) return false;
        const std::size_t slash = path.find_last_of('\\');
        const std::size_t name = slash == std::string::npos ? path.size() : path.size() - slash - 1;
        return name >= 1 && name <= kMaxFileName;
    }

private:
    enum class Operation { Picture, RecordFile };
    enum class State { Idle, Opening, Open, Closing };
    using Clock = std::chrono::steady_clock;
    // A call for the session thread; it gets null when the session closed first.
    using Work = std::function<void(IVSClient*)>;
    struct Queued {
        std::uint32_t number;
        Work work;
    };

    struct Pending {
        Operation operation;
        int channel;
        std::string path;
        Clock::time_point deadline;
        std::promise<RequestResult> promise;
    };

    static constexpr std::size_t kMaxPath = 256;
    static constexpr std::size_t kMaxFileName = 63;
    static constexpr int kFirstChannelParam = 0;
    static constexpr int kLastChannelParam = 254;
    // A thread message: only the session's own code knows the thread.
    static constexpr UINT kWorkMessage = WM_APP + 0x0E51;

    // One client per process: the session that holds it.
    static std::atomic<bool>& ProcessClientTaken() {
        static std::atomic<bool> taken{false};
        return taken;
    }
    // The session whose thread this is; callbacks find their session through it.
    static Session*& Current() {
        static thread_local Session* current = nullptr;
        return current;
    }

    static Clock::time_point DeadlineAfter(Milliseconds timeout) {
        // Longer time-outs are taken as ten years, so that the clock cannot overflow.
        const Milliseconds longest = std::chrono::hours(24 * 3653);
        const Clock::time_point now = Clock::now();
        if (timeout <= Milliseconds::zero()) return now;
        return now + std::chrono::duration_cast<Clock::duration>(std::min(timeout, longest));
    }

    static bool IsSessionTag(int tag) { return tag >= kFirstTag; }

    static std::vector<char> MakeRequestBlock(int tag, const std::string& path) {
        const int total = static_cast<int>(8 + path.size() + 1);
        std::vector<char> block(static_cast<std::size_t>(total), '\0');
        std::memcpy(block.data(), &total, 4);
        std::memcpy(block.data() + 4, &tag, 4);
        std::memcpy(block.data() + 8, path.data(), path.size());
        return block;
    }

    bool OnSessionThread() const { return Current() == this; }

    void RejectOnSessionThread() const {
        if (OnSessionThread()) {
            throw std::logic_error("nubix::Session: a blocking request on the session thread; use the Async variant");
        }
    }

    // ---- host threads ----

    std::future<RequestResult> Submit(Operation operation, int channel, const std::string& path,
                                      Milliseconds timeout);

    // Runs f(client) on the session thread, f(nullptr) when the session closed first.
    template <class R, class F>
    std::future<R> Post(F f) {
        auto task = std::make_shared<std::packaged_task<R(IVSClient*)>>(std::move(f));
        std::future<R> result = task->get_future();
        if (OnSessionThread()) {
            (*task)(IsOpen() ? client_ : nullptr);
            return result;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (state_ != State::Open) {
            lock.unlock();
            (*task)(nullptr);
            return result;
        }
        HandOverLocked([task](IVSClient* client) { (*task)(client); });
        return result;
    }

    // Queues work for the session thread, numbered, and posts its number behind
    // whatever waits in the thread's queue: each wake runs the work handed over up to
    // its number, so work keeps its place among the messages. Under mutex_.
    void HandOverLocked(Work item) {
        work_.push_back(Queued{lastQueued_ + 1, std::move(item)});
        ++lastQueued_;
        WakeLocked();
    }
    // Should the post fail (Windows holds 10,000 posts a queue) or a modal loop in
    // host code take it, the loop runs the work once its queue is empty.
    void WakeLocked() { PostThreadMessageA(threadId_, kWorkMessage, static_cast<WPARAM>(lastQueued_), 0); }
    // Whether work number `number` was handed over at or before `upTo`; wraps.
    static bool QueuedBy(std::uint32_t number, std::uint32_t upTo) {
        return static_cast<std::int32_t>(number - upTo) <= 0;
    }

    int NextTagLocked() {
        do {
            lastTag_ = lastTag_ == INT_MAX ? kFirstTag : lastTag_ + 1;
        } while (pending_.count(lastTag_) != 0);
        return lastTag_;
    }

    // Ends a pending request; false when it had ended already.
    bool Complete(int tag, RequestStatus status, std::string path = std::string()) {
        std::optional<std::promise<RequestResult>> promise;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = pending_.find(tag);
            if (it == pending_.end()) return false;
            promise.emplace(std::move(it->second.promise));
            pending_.erase(it);
        }
        RequestResult result;
        result.status = status;
        result.path = std::move(path);
        result.tag = tag;
        promise->set_value(std::move(result));
        return true;
    }

    // Joins the threads of an earlier open, once the session thread has ended. Under
    // lifecycle_, not mutex_.
    void Reap() {
        if (thread_.joinable()) thread_.join();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            watchdogStop_ = true;
        }
        deadlineChanged_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
    }

    // ---- the session thread ----

    void Run(std::string address, std::string user, std::string password) noexcept;
    void Serve();
    bool RunWork(std::uint32_t upTo);
    bool WorkWaiting(std::uint32_t upTo);
    void Send(int tag, IVSClient* client);
    void Shutdown() noexcept;
    void Route(int channel, unsigned short kind, int tag, const void* data, int length);
    void OnStatus(int tag, unsigned short operation, int outcome);
    void OnFile(int tag, unsigned short kind, const void* data, int length);

    static int __stdcall OnLibraryCallback(int channel, unsigned short kind, int tag, void* data, int length) {
        // Nothing may unwind into the library's window procedure.
        try {
            if (Session* session = Current()) session->Route(channel, kind, tag, data, length);
        } catch (...) {
        }
        return 0;
    }

    // ---- the watchdog thread: ends requests whose time is up ----

    void Watch() noexcept;

    const Handler handler_;
    std::mutex lifecycle_;  // one Open or Close at a time
    mutable std::mutex mutex_;
    std::condition_variable stateChanged_;
    std::condition_variable deadlineChanged_;
    State state_ = State::Idle;
    bool threadRunning_ = false;
    bool abandoned_ = false;
    bool stop_ = false;
    std::atomic<std::uint32_t> lastQueued_{0};
    bool watchdogStop_ = false;
    Clock::time_point watchdogWakes_ = Clock::time_point::max();
    DWORD threadId_ = 0;
    std::deque<Queued> work_;
    std::map<int, Pending> pending_;
    int lastTag_ = INT_MAX;
    IVSClient* client_ = nullptr;  // session thread only
    std::thread thread_;
    std::thread watchdog_;
};

// ---- host threads ----

inline OpenStatus Session::Open(const std::string& address, const std::string& user, const std::string& password,
                                Milliseconds timeout) {
    // The session thread would wait for itself.
    if (OnSessionThread()) return OpenStatus::AlreadyOpen;
    const Clock::time_point deadline = DeadlineAfter(timeout);
    std::lock_guard<std::mutex> life(lifecycle_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (threadRunning_) return state_ == State::Open ? OpenStatus::AlreadyOpen : OpenStatus::InUse;
    }
    Reap();
    bool expected = false;
    if (!ProcessClientTaken().compare_exchange_strong(expected, true)) return OpenStatus::InUse;

    std::unique_lock<std::mutex> lock(mutex_);
    state_ = State::Opening;
    abandoned_ = false;
    stop_ = false;
    watchdogStop_ = false;
    watchdogWakes_ = Clock::time_point::max();
    threadId_ = 0;
    threadRunning_ = true;
    try {
        watchdog_ = std::thread(&Session::Watch, this);
        thread_ = std::thread(&Session::Run, this, address, user, password);
    } catch (...) {
        threadRunning_ = false;
        state_ = State::Idle;
        lock.unlock();
        Reap();
        ProcessClientTaken() = false;
        throw;
    }

    stateChanged_.wait_until(lock, deadline, [&] { return state_ == State::Open || !threadRunning_; });
    if (state_ == State::Open) return OpenStatus::Opened;
    OpenStatus status = OpenStatus::Failed;
    if (threadRunning_) {
        // The thread closes and ends by itself once the library's open returns.
        abandoned_ = true;
        state_ = State::Idle;
        status = OpenStatus::TimedOut;
    }
    lock.unlock();
    if (status == OpenStatus::Failed) Reap();
    return status;
}

inline void Session::Close() {
    if (OnSessionThread()) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == State::Open) {
            state_ = State::Closing;
            stop_ = true;
            WakeLocked();
        }
        return;
    }
    std::lock_guard<std::mutex> life(lifecycle_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == State::Open) {
            state_ = State::Closing;
            stop_ = true;
            WakeLocked();
        }
    }
    Reap();
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = State::Idle;
}

inline bool Session::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == State::Open;
}

inline DWORD Session::ThreadId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadRunning_ ? threadId_ : 0;
}

inline std::future<RequestResult> Session::Submit(Operation operation, int channel, const std::string& path,
                                                  Milliseconds timeout) {
    std::promise<RequestResult> promise;
    std::future<RequestResult> future = promise.get_future();
    RequestResult early;
    if (!RequestFits(path)) {
        early.status = RequestStatus::Refused;
        promise.set_value(early);
        return future;
    }
    const Clock::time_point deadline = DeadlineAfter(timeout);
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ != State::Open) {
        lock.unlock();
        early.status = RequestStatus::Closed;
        promise.set_value(early);
        return future;
    }
    const int tag = NextTagLocked();
    pending_.emplace(tag, Pending{operation, channel, path, deadline, std::move(promise)});
    try {
        HandOverLocked([this, tag](IVSClient* client) { Send(tag, client); });
    } catch (...) {
        pending_.erase(tag);
        throw;
    }
    if (deadline < watchdogWakes_) {
        watchdogWakes_ = deadline;
        deadlineChanged_.notify_one();
    }
    return future;
}

inline bool Session::SetRecordParams(int channel, const RecordParams& params) {
    if (channel < kFirstChannelParam || channel > kLastChannelParam) return false;
    return Post<bool>([channel, params](IVSClient* client) {
               if (client == nullptr) return false;
               HWND window = client->GetNotifyWindow();
               auto* block = static_cast<RecordParamBlock*>(kesaNewBuffer(sizeof(RecordParamBlock)));
               if (window == nullptr || block == nullptr) {
                   kesaDelBuffer(block);
                   return false;
               }
               block->channel = channel;
               block->unused = 0;
               block->params = params;
               // The library frees the block once it has read it.
               if (!PostMessageA(window, MSG_SET_RECORD_PARAM, sizeof *block, reinterpret_cast<LPARAM>(block))) {
                   kesaDelBuffer(block);
                   return false;
               }
               // Hand it over now, so that no block waits in the queue of a window
               // that a re-open or the close may destroy. Only this message number
               // is taken: no callback runs here.
               MSG msg;
               while (PeekMessageA(&msg, window, MSG_SET_RECORD_PARAM, MSG_SET_RECORD_PARAM, PM_REMOVE)) {
                   DispatchMessageA(&msg);
                   if (msg.lParam == reinterpret_cast<LPARAM>(block)) break;
               }
               return true;
           })
        .get();
}

inline std::optional<std::string> Session::ServerMac() {
    return Post<std::optional<std::string>>([](IVSClient* client) -> std::optional<std::string> {
               char text[32] = {};
               if (client == nullptr || client->GetServerMac(text, static_cast<int>(sizeof text) - 1) == 0) {
                   return std::nullopt;
               }
               return std::string(text);
           })
        .get();
}

// ---- the session thread ----

inline void Session::Run(std::string address, std::string user, std::string password) noexcept {
    Current() = this;
    // The thread's message queue, so that work can be posted to it from now on.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threadId_ = GetCurrentThreadId();
    }
    bool opened = false;
    client_ = kesaCreateVSClient();
    if (client_ != nullptr) {
        client_->SetCallback(&Session::OnLibraryCallback);
        opened = client_->OpenServer(address.c_str(), 0, user.c_str(), password.c_str(), 0) == 1;
    }
    bool serve = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        serve = opened && !abandoned_;
        if (serve) state_ = State::Open;
    }
    if (serve) {
        stateChanged_.notify_all();
        Serve();
    }
    Shutdown();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threadRunning_ = false;
    }
    stateChanged_.notify_all();
}

// Work runs in the order it was handed over, and after every message posted to this
// thread before it: a WithClient function that posts to the notification window is
// followed by that message, then by the work handed over after it.
inline void Session::Serve() {
    for (;;) {
        const std::uint32_t handedOver = lastQueued_;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;  // someone ended this thread's loop: the session ends
            if (msg.hwnd == nullptr && msg.message == kWorkMessage) {
                if (!RunWork(static_cast<std::uint32_t>(msg.wParam))) return;
            } else {
                DispatchMessageA(&msg);
            }
            continue;
        }
        // The queue is empty, so work handed over before still waiting has lost its
        // wake (see WakeLocked).
        if (WorkWaiting(handedOver)) {
            if (!RunWork(handedOver)) return;
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

inline bool Session::WorkWaiting(std::uint32_t upTo) {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_ || (!work_.empty() && QueuedBy(work_.front().number, upTo));
}

// Runs the work handed over up to number `upTo`; false once the session is to stop.
inline bool Session::RunWork(std::uint32_t upTo) {
    std::deque<Queued> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return false;  // Shutdown answers what is left
        while (!work_.empty() && QueuedBy(work_.front().number, upTo)) {
            batch.push_back(std::move(work_.front()));
            work_.pop_front();
        }
    }
    bool stopping = false;
    for (Queued& item : batch) {
        if (!stopping) {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping = stop_;
        }
        try {
            item.work(stopping ? nullptr : client_);
        } catch (...) {
        }
    }
    return !stopping;
}

inline void Session::Send(int tag, IVSClient* client) {
    Operation operation;
    int channel = 0;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pending_.find(tag);
        if (it == pending_.end()) return;  // timed out while it waited: not sent at all
        operation = it->second.operation;
        channel = it->second.channel;
        path = it->second.path;
    }
    if (client == nullptr) {
        Complete(tag, RequestStatus::Closed);
        return;
    }
    const std::vector<char> block = MakeRequestBlock(tag, path);
    const RequestBlock* request = reinterpret_cast<const RequestBlock*>(block.data());
    // RequestFits has ruled out what the library refuses, so 0 means the viewer did
    // not take the command.
    const int taken = operation == Operation::Picture ? client->CapturePicture(channel, request)
                                                      : client->RequestRecordFile(channel, request);
    if (taken == 0) Complete(tag, RequestStatus::NotTaken);
}

inline void Session::Shutdown() noexcept {
    std::map<int, Pending> pending;
    std::deque<Queued> work;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == State::Open) state_ = State::Closing;  // the loop ended by itself
        stop_ = true;
        pending.swap(pending_);
        work.swap(work_);
    }
    for (Queued& item : work) {
        try {
            item.work(nullptr);
        } catch (...) {
        }
    }
    for (auto& entry : pending) {
        RequestResult result;
        result.status = RequestStatus::Closed;
        result.tag = entry.first;
        entry.second.promise.set_value(result);
    }
    if (client_ != nullptr) {
        client_->SetCallback(nullptr);
        client_->CloseServer();  // also ends a viewer that a failed open left running
        kesaReleaseVSClient(client_);
        client_ = nullptr;
    }
    Current() = nullptr;
    ProcessClientTaken() = false;
}

inline void Session::Route(int channel, unsigned short kind, int tag, const void* data, int length) {
    if (IsSessionTag(tag) && data != nullptr) {
        if (kind == KIND_STATUS && length == static_cast<int>(sizeof(StatusBlock))) {
            StatusBlock status;
            std::memcpy(&status, data, sizeof status);
            if (status.operation == STATUS_OP_PICTURE || status.operation == STATUS_OP_RECORD_FILE) {
                OnStatus(tag, status.operation, status.outcome);
                return;
            }
        } else if (kind == KIND_PICTURE_FILE || kind == KIND_RECORD_FILE) {
            OnFile(tag, kind, data, length);
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
    }
    if (handler_) handler_(channel, kind, tag, data, length);
}

// A success is complete with the file's path, which the library reports right after.
inline void Session::OnStatus(int tag, unsigned short operation, int outcome) {
    const Operation expected = operation == STATUS_OP_PICTURE ? Operation::Picture : Operation::RecordFile;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pending_.find(tag);
        if (it == pending_.end() || it->second.operation != expected || outcome == 0) return;
    }
    Complete(tag, RequestStatus::ViewerFailed);
}

inline void Session::OnFile(int tag, unsigned short kind, const void* data, int length) {
    const Operation expected = kind == KIND_PICTURE_FILE ? Operation::Picture : Operation::RecordFile;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pending_.find(tag);
        if (it == pending_.end() || it->second.operation != expected) return;
    }
    const char* text = static_cast<const char*>(data);
    Complete(tag, RequestStatus::Succeeded,
             std::string(text, text + (length > 0 ? static_cast<std::size_t>(length) : 0)));
}

// ---- the watchdog thread ----

inline void Session::Watch() noexcept {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!watchdogStop_) {
        try {
            const Clock::time_point now = Clock::now();
            Clock::time_point next = Clock::time_point::max();
            std::vector<std::pair<int, std::promise<RequestResult>>> expired;
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (it->second.deadline <= now) {
                    expired.emplace_back(it->first, std::move(it->second.promise));
                    it = pending_.erase(it);
                } else {
                    next = std::min(next, it->second.deadline);
                    ++it;
                }
            }
            if (!expired.empty()) {
                lock.unlock();
                for (auto& entry : expired) {
                    RequestResult result;
                    result.status = RequestStatus::TimedOut;
                    result.tag = entry.first;
                    entry.second.set_value(result);
                }
                lock.lock();
                continue;
            }
            watchdogWakes_ = next;
            if (next == Clock::time_point::max()) {
                deadlineChanged_.wait(lock);
            } else {
                deadlineChanged_.wait_until(lock, next);
            }
        } catch (...) {
            // Out of memory for the list: look again shortly.
            if (!lock.owns_lock()) lock.lock();
            deadlineChanged_.wait_for(lock, std::chrono::milliseconds(10));
        }
    }
}

}  // namespace nubix

#endif /* NUBIX_VS_CLIENT_SESSION_HPP */
