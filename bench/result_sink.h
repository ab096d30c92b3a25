// The benchmark's result callback, shared by the library and the raw floor window,
// and what it has seen. Everything runs on the benchmark's one thread.
#pragma once

#include <cstdint>
#include <vector>

#include "NubixVSClient.h"
#include "sample_stats.h"

namespace bench {

enum class TagUse {
    Ignore,   // tags are not looked at
    Stamp,    // each tag is the viewer's send stamp: the delay is recorded
    Index,    // each tag indexes the per-tag counters
};

struct ResultSink {
    long statuses = 0;
    long files = 0;
    long failures = 0;   // status callbacks with outcome -1

    TagUse tagUse = TagUse::Ignore;
    Samples* delays = nullptr;          // TagUse::Stamp
    std::uint32_t earliestStamp = 0;    // of the current burst, TagUse::Stamp
    bool burstStarted = false;
    std::uint32_t lastStatusAt = 0;     // low half of the counter at the last status
    std::vector<std::uint8_t> statusesByTag;  // TagUse::Index
    std::vector<std::uint8_t> filesByTag;
    long tagsOutOfRange = 0;
};

extern ResultSink Sink;

int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length);

}  // namespace bench
