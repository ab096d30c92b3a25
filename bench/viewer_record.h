// The 336-byte record of the viewer's commands and results, as a host that talks to
// the viewer without the library builds it.
#pragma once

#include <cstdint>

#include "channel/command_record.h"

namespace bench {

// The library's own record layout: the floor must send exactly what the library sends.
using ViewerRecord = nubix::CommandRecord;

constexpr unsigned kCodeCapturePicture = nubix::CMD_CAPTURE_PICTURE;
constexpr unsigned kCodeRecordFile = nubix::CMD_RECORD_FILE;

// A zero-filled record of `channel` and `tag` for `directory` + `fileName`.
ViewerRecord MakeViewerRecord(std::int32_t channel, std::int32_t tag, const char* directory,
                              const char* fileName);

}  // namespace bench
