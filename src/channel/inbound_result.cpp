#include "channel/inbound_result.h"

#include <cstring>

namespace nubix {

CommandRecord ReadResultRecord(const void* data, std::size_t size) {
    CommandRecord record;
    std::memset(&record, 0, sizeof record);
    if (data != nullptr) std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    return record;
}

std::size_t JoinResultPath(const CommandRecord& record, char (&fullPath)[kFullPathBytes]) {
    std::memset(fullPath, 0, sizeof fullPath);
    constexpr std::size_t room = kFullPathBytes - 1;
    std::size_t dir = FieldLength(record.directory, sizeof record.directory);
    if (dir > room) dir = room;
    std::memcpy(fullPath, record.directory, dir);
    std::size_t file = FieldLength(record.fileName, sizeof record.fileName);
    if (file > room - dir) file = room - dir;
    std::memcpy(fullPath + dir, record.fileName, file);
    return dir + file;
}

}  // namespace nubix
