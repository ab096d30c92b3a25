#include "bench_phases.h"

#include <cstdio>
#include <cstring>

#include "message_pump.h"
#include "result_sink.h"

namespace bench {

bool BenchContext::Open(const std::vector<std::string>& lines) {
    if (!script.Use(lines)) {
        Problem("the simulator script cannot be written");
        return false;
    }
    if (client->OpenServer("127.0.0.1", 0, "admin", "secret", 0) != 1 || FindViewerWindow() == nullptr) {
        Problem("OpenServer failed");
        return false;
    }
    return true;
}

void BenchContext::Close() {
    client->CloseServer();
    EndAllViewers();
}

void BenchContext::Problem(const char* what, long count) {
    problems += count;
    std::fprintf(stderr, "nubix_bench: %s (%ld)\n", what, count);
}

bool AwaitStatuses(BenchContext& context, long expected, DWORD timeoutMs) {
    if (PumpUntil([expected] { return Sink.statuses >= expected; }, timeoutMs)) return true;
    context.Problem("a result did not arrive", expected - Sink.statuses);
    // Counted once: the next wait starts from here.
    Sink.statuses = expected;
    return false;
}

Request::Request(int tag, const char* path) {
    std::memset(&block, 0, sizeof block);
    const std::size_t length = std::strlen(path);
    block.totalLength = static_cast<int>(8 + length + 1);
    block.tag = tag;
    std::memcpy(block.path, path, length);
}

}  // namespace bench
