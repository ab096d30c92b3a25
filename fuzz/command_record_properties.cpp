// A host's request block turned into a CommandRecord.
#include <cstring>

#include "channel/command_record.h"
#include "code_pages.h"
#include "fuzz_input.h"
#include "properties.h"

namespace nubix::fuzz {
namespace {

// One request block built into a record with the lead-byte test of one code page.
std::string RecordViolation(const ExactBlock& block, std::int32_t totalLength, std::int32_t channel,
                            const CodePage& codePage) {
    CommandRecord record;
    std::memset(&record, 0xCC, sizeof record);
    const bool accepted = BuildCommandRecord(channel, block.Get(), record, codePage.isLeadByte);

    // What the limits say, worked out from the block's bytes and the code page.
    bool fits = totalLength >= kRequestHeaderBytes && totalLength <= kRequestMaxTotal;
    std::string path;
    std::int32_t tag = 0;
    if (fits) {
        std::memcpy(&tag, block.Get() + 4, 4);
        for (std::size_t i = 8; i < block.Size() && block.Get()[i] != 0; ++i) path.push_back(block.Chars()[i]);
        const std::size_t fileLength = path.size() - ExpectedSplit(path, codePage.isLeadByte);
        fits = path.size() <= kMaxRequestPath && fileLength <= kMaxFileName;
    }
    if (accepted != fits) return accepted ? "accepted a request outside the limits" : "refused a request within the limits";
    if (!accepted) return AllZero(&record, sizeof record) ? "" : "a refused request left a record that is not all zero";

    if (record.channel != channel) return "channel not the requested one";
    if (record.tag != tag) return "tag not the block's";
    if (record.result != 0) return "result not 0";
    const std::size_t dir = FieldLength(record.directory, sizeof record.directory);
    const std::size_t file = FieldLength(record.fileName, sizeof record.fileName);
    if (dir == sizeof record.directory) return "directory not zero-terminated";
    if (file == sizeof record.fileName) return "fileName not zero-terminated";
    if (!AllZero(record.directory + dir, sizeof record.directory - dir)) return "bytes after the directory not zero";
    if (!AllZero(record.fileName + file, sizeof record.fileName - file)) return "bytes after the fileName not zero";
    if (std::string(record.directory, dir) + std::string(record.fileName, file) != path) {
        return "directory and fileName do not join to the path";
    }
    return SplitViolation(path, dir, codePage.isLeadByte);
}

}  // namespace

std::string CommandRecordViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t totalLength = input.Int32();
    // The block is exactly as long as it claims. A length outside 4..776 cannot be
    // trusted: the block is then the length field alone, all the library may read.
    const std::size_t blockSize =
        (totalLength >= 4 && totalLength <= kRequestMaxTotal) ? static_cast<std::size_t>(totalLength) : 4;
    ExactBlock block(blockSize);
    std::memcpy(block.Get(), &totalLength, 4);
    for (std::size_t i = 4; i < blockSize; ++i) block.Get()[i] = input.Byte();
    const std::int32_t channel = static_cast<std::int32_t>(0x9E3779B9u * static_cast<std::uint32_t>(size));

    for (const CodePage& codePage : kCodePages) {
        const std::string violation = RecordViolation(block, totalLength, channel, codePage);
        if (!violation.empty()) return std::string(codePage.name) + ": " + violation;
    }
    return "";
}

}  // namespace nubix::fuzz
