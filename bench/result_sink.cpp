#include "result_sink.h"

#include "bench_clock.h"

namespace bench {

ResultSink Sink;

namespace {

void Count(std::vector<std::uint8_t>& byTag, int tag) {
    if (tag < 0 || static_cast<std::size_t>(tag) >= byTag.size()) {
        ++Sink.tagsOutOfRange;
        return;
    }
    if (byTag[static_cast<std::size_t>(tag)] < 255) ++byTag[static_cast<std::size_t>(tag)];
}

}  // namespace

int __stdcall OnResult(int, unsigned short kind, int tag, void* data, int length) {
    if (kind != KIND_STATUS) {
        ++Sink.files;
        if (Sink.tagUse == TagUse::Index) Count(Sink.filesByTag, tag);
        return 0;
    }
    const std::uint32_t now = static_cast<std::uint32_t>(Now());
    ++Sink.statuses;
    Sink.lastStatusAt = now;
    if (length == sizeof(StatusBlock) && static_cast<const StatusBlock*>(data)->outcome != 0) ++Sink.failures;
    switch (Sink.tagUse) {
        case TagUse::Stamp: {
            const std::uint32_t stamp = static_cast<std::uint32_t>(tag);
            Sink.delays->Add(TicksToMicroseconds(static_cast<std::int64_t>(now - stamp)));
            if (!Sink.burstStarted || static_cast<std::int32_t>(stamp - Sink.earliestStamp) < 0) {
                Sink.earliestStamp = stamp;
                Sink.burstStarted = true;
            }
            break;
        }
        case TagUse::Index: Count(Sink.statusesByTag, tag); break;
        case TagUse::Ignore: break;
    }
    return 0;
}

}  // namespace bench
