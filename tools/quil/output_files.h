// The files a good viewer leaves behind: the captured picture and the recorded
// file. Paths are used as given, so a relative one is taken from the current
// directory.
#pragma once

#include <cstdint>

namespace quil {

// Whether the path names a PNG (ends in ".png", any case); anything else gets a BMP.
bool WantsPng(const char* path);

// Writes the test pattern for `channel` as PNG or BMP by the path's extension.
// False when the file cannot be written whole.
bool WritePictureFile(const char* path, std::int32_t channel);

// Writes a small record file: a text line "QUIL RECORD channel=N tag=T" and filler.
// False when the file cannot be written whole.
bool WriteRecordFile(const char* path, std::int32_t channel, std::int32_t tag);

}  // namespace quil
