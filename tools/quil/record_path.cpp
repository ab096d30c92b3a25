#include "record_path.h"

#include <cstring>

namespace quil {
namespace {

std::string BoundedText(const char* field, std::size_t width) {
    const void* zero = std::memchr(field, '\0', width);
    const std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width;
    return std::string(field, length);
}

}  // namespace

std::string DirectoryOf(const nubix::CommandRecord& record) {
    return BoundedText(record.directory, sizeof record.directory);
}

std::string FileNameOf(const nubix::CommandRecord& record) {
    return BoundedText(record.fileName, sizeof record.fileName);
}

std::string JoinedPath(const nubix::CommandRecord& record) { return DirectoryOf(record) + FileNameOf(record); }

bool IsChannelSwitch(const nubix::CommandRecord& record) {
    return record.directory[0] == '\0' && record.fileName[0] == '\0';
}

}  // namespace quil
