// Per-channel recording parameters: the block a host posts, read within its bounds.
// No Windows headers: this file also builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubix {

constexpr std::size_t kRecordParamBytes = 12;
constexpr std::size_t kRecordParamOffset = 8;

struct RecordParamUpdate {
    std::int32_t channel;
    std::uint8_t params[kRecordParamBytes];  // bytes the block did not carry are zero
};

// Reads a posted RecordParamBlock of which `length` bytes may be read: the channel at
// offset 0 and at most 12 parameter bytes from offset 8. Returns false, and nothing
// is to be stored, when `length` is below 8.
bool ReadRecordParamBlock(const void* block, std::size_t length, RecordParamUpdate& update);

// Whether `channel` has an entry in tables of `channelCount` entries.
inline bool HasChannelEntry(std::int32_t channel, std::int32_t channelCount) {
    return channel >= 0 && channel < channelCount;
}

}  // namespace nubix
