#include "viewer_record.h"

#include <cstring>

namespace bench {

ViewerRecord MakeViewerRecord(std::int32_t channel, std::int32_t tag, const char* directory,
                              const char* fileName) {
    ViewerRecord record;
    std::memset(&record, 0, sizeof record);
    record.channel = channel;
    record.tag = tag;
    std::strncpy(record.directory, directory, sizeof record.directory - 1);
    std::strncpy(record.fileName, fileName, sizeof record.fileName - 1);
    return record;
}

}  // namespace bench
