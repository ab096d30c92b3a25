// Turning a result record from the viewer into what the host's callback receives.
// No Windows headers: this file also builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/command_record.h"

namespace nubix {

// A result record as received: at most `size` bytes of `data` are read, the rest of
// the record is zero. A null `data` or a size of 0 gives an all-zero record.
CommandRecord ReadResultRecord(const void* data, std::size_t size);

// Capacity of the joined path, its zero included.
constexpr std::size_t kFullPathBytes = 260;

// Joins `directory` and `fileName`, each read within its field, into `fullPath`
// (kFullPathBytes, zero-filled): at most 259 bytes of text and a zero. Returns the
// length of the joined text.
std::size_t JoinResultPath(const CommandRecord& record, char (&fullPath)[kFullPathBytes]);

// Outcome of a result as the library judges it: a picture succeeded only with result
// 1, a record file with any non-zero result.
inline bool PictureSucceeded(const CommandRecord& r) { return r.result == 1; }
inline bool RecordFileSucceeded(const CommandRecord& r) { return r.result != 0; }

}  // namespace nubix
