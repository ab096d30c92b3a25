// The 336-byte record of the viewer's commands and results, as a host that talks to
// the viewer without the library builds it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench {

struct ViewerRecord {
    std::int32_t channel;
    std::int32_t tag;
    char directory[260];
    char fileName[64];
    std::int32_t result;
};
static_assert(sizeof(ViewerRecord) == 336, "ViewerRecord size");
static_assert(offsetof(ViewerRecord, directory) == 8, "ViewerRecord.directory");
static_assert(offsetof(ViewerRecord, fileName) == 268, "ViewerRecord.fileName");
static_assert(offsetof(ViewerRecord, result) == 332, "ViewerRecord.result");

constexpr unsigned kCodeCapturePicture = 2;
constexpr unsigned kCodeRecordFile = 3;

// A zero-filled record of `channel` and `tag` for `directory` + `fileName`.
ViewerRecord MakeViewerRecord(std::int32_t channel, std::int32_t tag, const char* directory,
                              const char* fileName);

}  // namespace bench
