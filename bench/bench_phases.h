// The benchmark's parts. Each compares the library, called through the DLL as a host
// calls it, with a floor: a host that does only what the viewer's protocol and the
// library's log require. Timed calls alternate between the two sides, and each part
// adds its rows to the report.
#pragma once

#include <string>
#include <vector>

#include "NubixVSClient.h"
#include "bench_options.h"
#include "op_log_floor.h"
#include "raw_result_window.h"
#include "report.h"
#include "viewer_setup.h"

namespace bench {

struct BenchContext {
    const BenchOptions& options;
    IVSClient* client;
    SimulatorScript& script;
    RawResultWindow& raw;
    OpLogFloor& log;
    Report& report;
    long problems = 0;  // lost or repeated results, refused commands, failed opens

    // Scripts the simulator, opens the server and finds the viewer's window; counts
    // a problem and answers false when the open fails.
    bool Open(const std::vector<std::string>& script);
    // Closes the server and waits until the viewer has ended.
    void Close();
    void Problem(const char* what, long count = 1);
};

// Dispatches messages until the status callbacks number `expected`; a result that
// does not come in time is a problem.
bool AwaitStatuses(BenchContext& context, long expected, DWORD timeoutMs = 10000);

// A RequestBlock of `tag` and `path`.
struct Request {
    Request(int tag, const char* path);
    RequestBlock block;
};

void RunCommandPair(BenchContext& context);
void RunPicturePair(BenchContext& context);
void RunDeliveryPair(BenchContext& context);
void RunOpenCloseCycles(BenchContext& context);
void RunSoak(BenchContext& context);

}  // namespace bench
