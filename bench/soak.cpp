// The soak: record-file requests one after another, each with its own tag, each
// answered before the next is made. Every request must be answered by exactly one
// status callback (and one file callback), and the process must hold no more
// memory at the end than after the first tenth.
#include "bench_clock.h"
#include "bench_phases.h"
#include "message_pump.h"
#include "process_probes.h"
#include "result_sink.h"

namespace bench {
namespace {

constexpr DWORD kStragglerWaitMs = 300;

}  // namespace

void RunSoak(BenchContext& context) {
    const int requests = context.options.soakRequests;
    if (requests == 0) return;
    if (!context.Open({"fast=1"})) return;
    Sink.statusesByTag.assign(static_cast<std::size_t>(requests), 0);
    Sink.filesByTag.assign(static_cast<std::size_t>(requests), 0);
    Sink.tagsOutOfRange = 0;
    Sink.tagUse = TagUse::Index;
    const long failuresBefore = Sink.failures;
    Request request(0, "c:\\bench\\soak.dat");

    const int settled = requests / 10;
    Footprint first;
    std::int64_t peakPrivate = 0;
    long refused = 0;
    const std::int64_t start = Now();
    for (int i = 0; i < requests; ++i) {
        if (i == settled) first = MeasureFootprint();
        if (i > settled && i % (settled > 0 ? settled : 1) == 0) {
            const std::int64_t now = MeasureFootprint().privateBytes;
            if (now > peakPrivate) peakPrivate = now;
        }
        request.block.tag = i;
        const long expected = Sink.statuses + 1;
        if (context.client->RequestRecordFile(0, &request.block) != 1) {
            ++refused;
            continue;
        }
        AwaitStatuses(context, expected);
    }
    const double seconds = TicksToMicroseconds(Now() - start) / 1e6;
    // A repeated result would come right behind the last one.
    PumpUntil([] { return false; }, kStragglerWaitMs);
    const Footprint last = MeasureFootprint();
    if (last.privateBytes > peakPrivate) peakPrivate = last.privateBytes;
    Sink.tagUse = TagUse::Ignore;
    context.Close();

    long unanswered = 0, repeated = 0, fileMismatches = 0;
    for (int i = 0; i < requests; ++i) {
        const int statuses = Sink.statusesByTag[static_cast<std::size_t>(i)];
        if (statuses == 0) ++unanswered;
        if (statuses > 1) ++repeated;
        if (Sink.filesByTag[static_cast<std::size_t>(i)] != 1) ++fileMismatches;
    }
    const long failed = Sink.failures - failuresBefore;
    if (refused != 0) context.Problem("soak: requests refused", refused);
    if (unanswered != 0) context.Problem("soak: requests without a status callback", unanswered);
    if (repeated != 0) context.Problem("soak: requests with more than one status callback", repeated);
    if (fileMismatches != 0) context.Problem("soak: requests without exactly one file callback", fileMismatches);
    if (Sink.tagsOutOfRange != 0) context.Problem("soak: callbacks with a tag never sent", Sink.tagsOutOfRange);
    if (failed != 0) context.Problem("soak: results reported as failed", failed);

    Report& report = context.report;
    report.Row("soak.count",
               Format("soak: %d record-file requests: answered once / unanswered / repeated / refused", requests),
               "all once", Format("%ld / %ld / %ld / %ld", requests - unanswered - repeated - refused, unanswered,
                                  repeated, refused));
    report.Row("soak.rate", "soak: requests with their results per second", "",
               Format("%.0f", seconds > 0 ? requests / seconds : 0.0));
    report.Row("soak.private", "soak: private bytes (committed), last - after the first tenth (peak - first)",
               "0",
               Format("%+lld (%+lld; %lld now)", static_cast<long long>(last.privateBytes - first.privateBytes),
                      static_cast<long long>(peakPrivate - first.privateBytes),
                      static_cast<long long>(last.privateBytes)));
    report.Row("soak.heap", "soak: heap bytes in use (HeapWalk), last - after the first tenth", "0",
               Format("%+lld (%lld now)", static_cast<long long>(last.heapBusy - first.heapBusy),
                      static_cast<long long>(last.heapBusy)));
}

}  // namespace bench
