// A record-file command: RequestRecordFile against a host that sends the same 336
// bytes to the viewer's command window and writes the one log line a taken command
// writes. The round trip (also as the library sends it, with a bound) and the log
// line are timed alone too.
#include <functional>

#include "alternation.h"
#include "bench_clock.h"
#include "bench_phases.h"
#include "result_sink.h"
#include "viewer_record.h"

namespace bench {
namespace {

constexpr int kWarmupRounds = 50;

}  // namespace

void RunCommandPair(BenchContext& context) {
    if (!context.Open({"fast=1"})) return;
    const HWND viewer = FindViewerWindow();
    const Request request(7, "c:\\bench\\record.dat");
    ViewerRecord record = MakeViewerRecord(0, 7, "c:\\bench\\", "record.dat");
    COPYDATASTRUCT copyData = {kCodeRecordFile, sizeof record, &record};
    Sink.tagUse = TagUse::Ignore;

    auto rawSend = [&] {
        if (SendMessageA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(context.raw.Handle()),
                         reinterpret_cast<LPARAM>(&copyData)) == 0) {
            context.Problem("the viewer refused a command");
        }
    };
    // The library waits with a bound (SMTO_NORMAL, 60 s): the same round trip that way.
    auto boundedSend = [&] {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(context.raw.Handle()),
                                 reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL, 60000, &answer) ||
            answer == 0) {
            context.Problem("the viewer refused a command");
        }
    };
    auto timed = [&](const std::function<void()>& call, long results) {
        const long expected = Sink.statuses + results;
        const std::int64_t start = Now();
        call();
        const double microseconds = TicksToMicroseconds(Now() - start);
        AwaitStatuses(context, expected);
        return microseconds;
    };
    std::vector<std::function<double()>> variants = {
        [&] { return timed(rawSend, 1); },
        [&] { return timed(boundedSend, 1); },
        [&] { return timed([&] { context.log.Write(kCommandSentText); }, 0); },
        [&] {
            return timed(
                [&] {
                    rawSend();
                    context.log.Write(kCommandSentText);
                },
                1);
        },
        [&] {
            return timed(
                [&] {
                    if (context.client->RequestRecordFile(0, &request.block) != 1) {
                        context.Problem("RequestRecordFile failed");
                    }
                },
                1);
        },
    };
    const std::vector<Samples> samples = Alternate(variants, kWarmupRounds, context.options.iterations);
    context.Close();

    const Samples& floor = samples[3];
    const Samples& library = samples[4];
    Report& report = context.report;
    report.Row("cmd.raw", "command: 336-byte WM_COPYDATA round trip alone (SendMessageA), median / p99 us", "",
               Timing(samples[0]));
    report.Row("cmd.bounded", "command: the same with SendMessageTimeoutA (SMTO_NORMAL), median / p99 us", "",
               Timing(samples[1]));
    report.Row("cmd.log", "command: one operation-log line alone, median / p99 us", "", Timing(samples[2]));
    report.Row("cmd.floor", "command floor: round trip + log line, median / p99 us", "", Timing(floor));
    report.Row("cmd.lib", "command: RequestRecordFile through the DLL, median / p99 us", "", Timing(library));
    report.Row("cmd.ratio", "**command: library / floor (median)**", "<= 1.10x",
               Ratio(library.Median() / floor.Median()));
}

}  // namespace bench
