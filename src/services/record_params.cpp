#include "services/record_params.h"

#include <cstring>

namespace nubix {

bool ReadRecordParamBlock(const void* block, std::size_t length, RecordParamUpdate& update) {
    std::memset(&update, 0, sizeof update);
    if (block == nullptr || length < kRecordParamOffset) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    std::memcpy(&update.channel, bytes, sizeof update.channel);
    std::size_t carried = length - kRecordParamOffset;
    if (carried > kRecordParamBytes) carried = kRecordParamBytes;
    std::memcpy(update.params, bytes + kRecordParamOffset, carried);
    return true;
}

}  // namespace nubix
