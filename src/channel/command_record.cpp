#include "channel/command_record.h"

#include <cstring>

namespace nubix {

void CopyPadded(char* field, std::size_t width, const char* text) {
    std::size_t n = FieldLength(text, width);
    std::memcpy(field, text, n);
    std::memset(field + n, 0, width - n);
}

std::size_t FieldLength(const char* field, std::size_t width) {
    const void* zero = std::memchr(field, 0, width);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width;
}

bool BuildCommandRecord(std::int32_t channel, const void* request, CommandRecord& record,
                        LeadByteTest isLeadByte) {
    std::memset(&record, 0, sizeof record);
    if (request == nullptr) return false;
    // The length alone first: a block that claims fewer than 8 bytes has no tag to read.
    std::int32_t totalLength;
    std::memcpy(&totalLength, request, sizeof totalLength);
    if (totalLength < kRequestHeaderBytes || totalLength > kRequestMaxTotal) return false;
    std::int32_t tag;
    std::memcpy(&tag, static_cast<const char*>(request) + sizeof totalLength, sizeof tag);

    const char* text = static_cast<const char*>(request) + kRequestHeaderBytes;
    const std::size_t pathLength =
        FieldLength(text, static_cast<std::size_t>(totalLength - kRequestHeaderBytes));
    if (pathLength > kMaxRequestPath) return false;

    const std::size_t split = PathSplitPoint(text, pathLength, isLeadByte);
    if (pathLength - split > kMaxFileName) return false;

    record.channel = channel;
    record.tag = tag;
    std::memcpy(record.directory, text, split);
    std::memcpy(record.fileName, text + split, pathLength - split);
    return true;
}

CommandRecord ChannelOnlyRecord(std::int32_t channel) {
    CommandRecord record;
    std::memset(&record, 0, sizeof record);
    record.channel = channel;
    return record;
}

}  // namespace nubix
