// nubix_bench: the library's speed and its footprint over time, measured through the
// DLL against floors that do only what the viewer's protocol and the log require.
// It prints figures and asserts no time: it fails only when results are lost or
// repeated, commands are refused or opens fail. scripts/bench.sh runs it pinned to
// one CPU and unpinned and joins the two tables.
#include <windows.h>

#include <cstdio>
#include <string>

#include "NubixVSClient.h"
#include "bench_options.h"
#include "bench_phases.h"
#include "result_sink.h"

int main(int argc, char** argv) {
    bench::BenchOptions options;
    std::string error;
    if (!bench::ParseOptions(argc, argv, options, error)) {
        std::fputs(error.c_str(), stderr);
        return 2;
    }

    bench::CreateControlKey();
    bench::EndAllViewers();
    bench::DeleteLogs();
    bench::SimulatorScript script;
    bench::OpLogFloor log;
    bench::RawResultWindow raw(bench::OnResult);
    IVSClient* client = kesaCreateVSClient();
    if (client == nullptr || raw.Handle() == nullptr) {
        std::fputs("nubix_bench: no client or no window\n", stderr);
        return 1;
    }
    client->SetCallback(bench::OnResult);

    bench::Report report;
    bench::BenchContext context{options, client, script, raw, log, report};
    struct Part {
        const char* name;
        void (*run)(bench::BenchContext&);
    };
    const Part parts[] = {
        {"command", bench::RunCommandPair},
        {"picture", bench::RunPicturePair},
        {"delivery", bench::RunDeliveryPair},
        {"open and close", bench::RunOpenCloseCycles},
        {"soak", bench::RunSoak},
    };
    for (const Part& part : parts) {
        const ULONGLONG start = GetTickCount64();
        part.run(context);
        std::fprintf(stderr, "nubix_bench (%s): %s done in %.1f s\n", options.label.c_str(), part.name,
                     (GetTickCount64() - start) / 1000.0);
    }
    kesaReleaseVSClient(client);
    bench::EndAllViewers();

    report.Print(stdout, options.label);
    if (!options.figures.empty() && !report.WriteFigures(options.figures)) {
        std::fprintf(stderr, "nubix_bench: cannot write %s\n", options.figures.c_str());
    }
    if (context.problems != 0) {
        std::fprintf(stderr, "nubix_bench: %ld problem(s), see above\n", context.problems);
        return 1;
    }
    return 0;
}
