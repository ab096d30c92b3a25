// A picture on the channel of the previous picture (channel 0 throughout, so no
// channel record and no one-second wait): CapturePicture against a host that writes
// the two log lines a picture request writes around the same 336-byte send.
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

void RunPicturePair(BenchContext& context) {
    if (!context.Open({"fast=1"})) return;
    const HWND viewer = FindViewerWindow();
    const Request request(9, "c:\\bench\\picture.bmp");
    ViewerRecord record = MakeViewerRecord(0, 9, "c:\\bench\\", "picture.bmp");
    COPYDATASTRUCT copyData = {kCodeCapturePicture, sizeof record, &record};
    Sink.tagUse = TagUse::Ignore;

    auto timed = [&](const std::function<void()>& call) {
        const long expected = Sink.statuses + 1;
        const std::int64_t start = Now();
        call();
        const double microseconds = TicksToMicroseconds(Now() - start);
        AwaitStatuses(context, expected);
        return microseconds;
    };
    std::vector<std::function<double()>> variants = {
        [&] {
            return timed([&] {
                context.log.Write(kSendingCaptureText);
                if (SendMessageA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(context.raw.Handle()),
                                 reinterpret_cast<LPARAM>(&copyData)) == 0) {
                    context.Problem("the viewer refused a picture");
                }
                context.log.Write(kCommandSentText);
            });
        },
        [&] {
            return timed([&] {
                if (context.client->CapturePicture(0, &request.block) != 1) context.Problem("CapturePicture failed");
            });
        },
    };
    const std::vector<Samples> samples = Alternate(variants, kWarmupRounds, context.options.iterations);
    context.Close();

    Report& report = context.report;
    report.Row("pic.floor", "picture floor: round trip + two log lines, median / p99 us", "", Timing(samples[0]));
    report.Row("pic.lib", "picture: CapturePicture on an unchanged channel, median / p99 us", "",
               Timing(samples[1]));
    report.Row("pic.ratio", "**picture: library / floor (median)**", "<= 1.10x",
               Ratio(samples[1].Median() / samples[0].Median()));
}

}  // namespace bench
