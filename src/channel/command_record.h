// Records that travel between the library and the viewer process, and building a
// command record from a host request. No Windows headers: this file also builds
// natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/path_split.h"

namespace nubix {

// Command codes, carried in COPYDATASTRUCT::dwData. 2 and 3 also mark results.
constexpr std::uint32_t CMD_OPEN_SERVER = 1;
constexpr std::uint32_t CMD_CAPTURE_PICTURE = 2;
constexpr std::uint32_t CMD_RECORD_FILE = 3;

// Login sent with CMD_OPEN_SERVER. Texts are zero-padded to their field; a text that
// fills its field carries no terminating zero.
struct OpenServerBlock {
    char address[64];
    char user[32];
    char password[32];
    std::int32_t reserved;
};
static_assert(sizeof(OpenServerBlock) == 132, "OpenServerBlock is 132 bytes");
static_assert(offsetof(OpenServerBlock, user) == 64, "user at 64");
static_assert(offsetof(OpenServerBlock, password) == 96, "password at 96");
static_assert(offsetof(OpenServerBlock, reserved) == 128, "reserved at 128");

// A capture or record-file command, and the viewer's result for it.
struct CommandRecord {
    std::int32_t channel;
    std::int32_t tag;
    char directory[260];
    char fileName[64];
    std::int32_t result;
};
static_assert(sizeof(CommandRecord) == 336, "CommandRecord is 336 bytes");
static_assert(offsetof(CommandRecord, tag) == 4, "tag at 4");
static_assert(offsetof(CommandRecord, directory) == 8, "directory at 8");
static_assert(offsetof(CommandRecord, fileName) == 268, "fileName at 268");
static_assert(offsetof(CommandRecord, result) == 332, "result at 332");

// Limits of a host's request block.
constexpr std::int32_t kRequestHeaderBytes = 8;
constexpr std::int32_t kRequestPathArea = 768;
constexpr std::int32_t kRequestMaxTotal = kRequestHeaderBytes + kRequestPathArea;  // 776
constexpr std::size_t kMaxRequestPath = 256;
constexpr std::size_t kMaxFileName = sizeof(CommandRecord::fileName) - 1;  // 63

// Copies `text` into a field of `width` bytes: at most `width` bytes of it, the rest
// of the field zero. A text of `width` bytes or more leaves no terminator.
void CopyPadded(char* field, std::size_t width, const char* text);

// Length of a text held in a fixed field: up to its first zero or the field's end.
std::size_t FieldLength(const char* field, std::size_t width);

// Builds the record for a host request: the path text (from offset 8 up to its first
// zero or the block's end) split at its last backslash, read by characters of the
// code page that `isLeadByte` describes (the system's, for a host's request), so that
// the second byte of a double-byte character is never taken for the separator.
// Returns false, leaving `record` all zero, when the request does not fit the working
// limits: a total length outside 8..776, a path longer than 256 bytes, or a file-name
// part of 64 bytes or more. `request` points to `totalLength` readable bytes; when
// that length is out of bounds only the length itself is read.
bool BuildCommandRecord(std::int32_t channel, const void* request, CommandRecord& record,
                        LeadByteTest isLeadByte = NoLeadBytes);

// The record that announces a change of channel: only `channel` set.
CommandRecord ChannelOnlyRecord(std::int32_t channel);

}  // namespace nubix
