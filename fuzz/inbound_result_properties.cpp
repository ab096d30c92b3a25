// A result record received from the viewer, and the path joined from it.
#include <cstring>

#include "channel/inbound_result.h"
#include "fuzz_input.h"
#include "properties.h"

namespace nubix::fuzz {

std::string InboundResultViolation(const std::uint8_t* data, std::size_t size) {
    ExactBlock received(data, size);
    const CommandRecord record = ReadResultRecord(received.Get(), size);
    const std::size_t taken = size < sizeof record ? size : sizeof record;
    if (taken != 0 && std::memcmp(&record, data, taken) != 0) return "record bytes differ from the received ones";
    if (!AllZero(reinterpret_cast<const std::uint8_t*>(&record) + taken, sizeof record - taken)) {
        return "record not completed with zeros";
    }
    const CommandRecord none = ReadResultRecord(nullptr, size);
    if (!AllZero(&none, sizeof none)) return "null data gave a record that is not all zero";

    char fullPath[kFullPathBytes];
    std::memset(fullPath, 0xCC, sizeof fullPath);
    const std::size_t length = JoinResultPath(record, fullPath);
    if (length > kFullPathBytes - 1) return "joined path longer than 259";
    if (!AllZero(fullPath + length, sizeof fullPath - length)) return "joined path not zero-terminated and zero-filled";
    const std::string expected =
        (std::string(record.directory, FieldLength(record.directory, sizeof record.directory)) +
         std::string(record.fileName, FieldLength(record.fileName, sizeof record.fileName)))
            .substr(0, kFullPathBytes - 1);
    if (std::string(fullPath, length) != expected) return "joined path is not directory + fileName within their fields";
    return "";
}

}  // namespace nubix::fuzz
