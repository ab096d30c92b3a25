// Result delivery: the viewer simulator sends a burst of results back to back, each
// stamped with the performance counter as it is sent (script key stamp=1, the stamp
// travels as the tag). The delay from that stamp to the host's status callback,
// through the library's notification window, against the raw window that copies,
// posts to itself and dispatches the same way. Both sides trigger their burst with
// the same work: a record-file command and its log line.
#include <functional>

#include "bench_clock.h"
#include "bench_phases.h"
#include "result_sink.h"
#include "viewer_record.h"

namespace bench {
namespace {

constexpr int kWarmupRounds = 10;

struct Side {
    Samples delays;
    double busyMicroseconds = 0;  // first stamp to last callback, summed over bursts
    long results = 0;
    double PerSecond() const { return busyMicroseconds > 0 ? results * 1e6 / busyMicroseconds : 0.0; }
};

}  // namespace

void RunDeliveryPair(BenchContext& context) {
    const int burst = context.options.burst;
    const int rounds = context.options.deliveryRounds;
    if (!context.Open({"fast=1", Format("burst=%d", burst), "stamp=1"})) return;
    const HWND viewer = FindViewerWindow();
    const Request request(0, "c:\\bench\\burst.dat");
    ViewerRecord record = MakeViewerRecord(0, 0, "c:\\bench\\", "burst.dat");
    COPYDATASTRUCT copyData = {kCodeRecordFile, sizeof record, &record};

    const std::size_t expectedSamples = static_cast<std::size_t>(rounds) * static_cast<std::size_t>(burst);
    Side floor{Samples(expectedSamples)};
    Side library{Samples(expectedSamples)};
    Samples warmup(static_cast<std::size_t>(kWarmupRounds) * static_cast<std::size_t>(burst) * 2);
    Sink.tagUse = TagUse::Stamp;

    auto runBurst = [&](Side& side, bool recorded, const std::function<void()>& trigger) {
        Sink.delays = recorded ? &side.delays : &warmup;
        Sink.burstStarted = false;
        const long expected = Sink.statuses + burst;
        trigger();
        if (!AwaitStatuses(context, expected) || !recorded) return;
        side.busyMicroseconds += TicksToMicroseconds(static_cast<std::int64_t>(Sink.lastStatusAt - Sink.earliestStamp));
        side.results += burst;
    };
    auto floorTrigger = [&] {
        if (SendMessageA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(context.raw.Handle()),
                         reinterpret_cast<LPARAM>(&copyData)) == 0) {
            context.Problem("the viewer refused a command");
        }
        context.log.Write(kCommandSentText);
    };
    auto libraryTrigger = [&] {
        if (context.client->RequestRecordFile(0, &request.block) != 1) context.Problem("RequestRecordFile failed");
    };
    for (int round = -kWarmupRounds; round < rounds; ++round) {
        const bool recorded = round >= 0;
        if (round % 2 == 0) {
            runBurst(floor, recorded, floorTrigger);
            runBurst(library, recorded, libraryTrigger);
        } else {
            runBurst(library, recorded, libraryTrigger);
            runBurst(floor, recorded, floorTrigger);
        }
    }
    Sink.tagUse = TagUse::Ignore;
    Sink.delays = nullptr;
    context.Close();

    Report& report = context.report;
    const std::string what = Format(", bursts of %d: viewer's send to callback, median / p99 us; results/s", burst);
    report.Row("dlv.floor", "delivery floor (raw window)" + what, "",
               Timing(floor.delays) + Format("; %.0f/s", floor.PerSecond()));
    report.Row("dlv.lib", "delivery through the DLL" + what, "",
               Timing(library.delays) + Format("; %.0f/s", library.PerSecond()));
    report.Row("dlv.ratio", "**delivery: library / floor (median delay)**", "<= 1.20x",
               Ratio(library.delays.Median() / floor.delays.Median()));
    report.Row("dlv.rate", "delivery: results per second, floor / library", "",
               Ratio(library.PerSecond() > 0 ? floor.PerSecond() / library.PerSecond() : 0.0));
}

}  // namespace bench
