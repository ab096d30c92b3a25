// Open and close: the time of one OpenServer + CloseServer cycle (each starts a
// viewer process), and what the process holds after many cycles against what it
// held after a few: private bytes, heap bytes, mapped views, registered window
// classes and windows. A cycle's time ends when CloseServer returns; the wait for
// the viewer to end lies outside it.
#include <ctime>

#include "bench_clock.h"
#include "bench_phases.h"
#include "process_probes.h"

namespace bench {
namespace {

constexpr int kWarmupCycles = 10;

// "+growth (value now)".
std::string Growth(std::int64_t before, std::int64_t after) {
    return Format("%+lld (%lld now)", static_cast<long long>(after - before), static_cast<long long>(after));
}

}  // namespace

void RunOpenCloseCycles(BenchContext& context) {
    const int cycles = context.options.cycles;
    if (!context.script.Use({"fast=1"})) {
        context.Problem("the simulator script cannot be written");
        return;
    }
    Samples cycleTimes(static_cast<std::size_t>(cycles));
    Samples openTimes(static_cast<std::size_t>(cycles));
    Samples closeTimes(static_cast<std::size_t>(cycles));
    const long long firstSecond = static_cast<long long>(std::time(nullptr)) - 1;
    Footprint before;
    int classesBefore = 0;
    long failedOpens = 0;
    for (int cycle = -kWarmupCycles; cycle < cycles; ++cycle) {
        if (cycle == 0) {
            before = MeasureFootprint();
            classesBefore = CountTimeNamedClasses(firstSecond, static_cast<long long>(std::time(nullptr)) + 1);
        }
        const std::int64_t start = Now();
        const int opened = context.client->OpenServer("127.0.0.1", 0, "admin", "secret", 0);
        const std::int64_t afterOpen = Now();
        context.client->CloseServer();
        const std::int64_t afterClose = Now();
        if (opened != 1) ++failedOpens;
        EndAllViewers();
        if (cycle < 0) continue;
        openTimes.Add(TicksToMicroseconds(afterOpen - start));
        closeTimes.Add(TicksToMicroseconds(afterClose - afterOpen));
        cycleTimes.Add(TicksToMicroseconds(afterClose - start));
    }
    const Footprint after = MeasureFootprint();
    const int classesAfter = CountTimeNamedClasses(firstSecond, static_cast<long long>(std::time(nullptr)) + 1);
    if (failedOpens != 0) context.Problem("OpenServer failed in a cycle", failedOpens);

    Report& report = context.report;
    report.Row("oc.cycle", "open + close cycle (viewer start included), median / p99 ms", "",
               TimingMs(cycleTimes));
    report.Row("oc.parts", "  of which OpenServer / CloseServer, median ms", "",
               Format("%.2f / %.3f", openTimes.Median() / 1000.0, closeTimes.Median() / 1000.0));
    const std::string over = Format("growth over %d cycles: ", cycles);
    report.Row("oc.private", over + "private bytes (committed, VirtualQuery)", "0",
               Growth(before.privateBytes, after.privateBytes));
    report.Row("oc.heap", over + "heap bytes in use (HeapWalk)", "0", Growth(before.heapBusy, after.heapBusy));
    report.Row("oc.views", over + "mapped views (VirtualQuery)", "0", Growth(before.mappedViews, after.mappedViews));
    report.Row("oc.classes", over + "registered notification window classes", "0",
               Growth(classesBefore, classesAfter));
    report.Row("oc.windows", over + "windows of the host thread", "0",
               Growth(before.threadWindows, after.threadWindows));
}

}  // namespace bench
