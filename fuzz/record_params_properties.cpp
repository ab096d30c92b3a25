// A RecordParamBlock the host posted.
#include <cstring>

#include "fuzz_input.h"
#include "properties.h"
#include "services/record_params.h"

namespace nubix::fuzz {

std::string RecordParamsViolation(const std::uint8_t* data, std::size_t size) {
    ExactBlock block(data, size);
    RecordParamUpdate update;
    std::memset(&update, 0xCC, sizeof update);
    const bool read = ReadRecordParamBlock(block.Get(), size, update);
    if (read != (size >= kRecordParamOffset)) return read ? "read a block shorter than 8" : "refused a block of 8 or more";
    if (!read) return AllZero(&update, sizeof update) ? "" : "a refused block left bytes in the update";
    std::int32_t channel;
    std::memcpy(&channel, data, sizeof channel);
    if (update.channel != channel) return "channel not the block's first word";
    for (std::size_t i = 0; i < kRecordParamBytes; ++i) {
        const std::uint8_t expected = kRecordParamOffset + i < size ? data[kRecordParamOffset + i] : 0;
        if (update.params[i] != expected) return "parameter byte " + std::to_string(i) + " wrong";
    }
    RecordParamUpdate none;
    if (ReadRecordParamBlock(nullptr, size, none)) return "read a null block";
    return "";
}

}  // namespace nubix::fuzz
