#include "client/app_paths.h"

#include <cstdio>
#include <cstring>

namespace nubix {
namespace {

bool Fits(int written) { return written >= 0 && static_cast<std::size_t>(written) < kPathBytes; }

bool Compose(PathBuffer& out, const char* format, const char* text) {
    if (text == nullptr) return false;
    const bool fits = Fits(std::snprintf(out, kPathBytes, format, text));
    if (!fits) out[0] = '\0';
    return fits;
}

}  // namespace

bool ApplicationDirectory(const char* exePath, PathBuffer& directory, LeadByteTest isLeadByte) {
    directory[0] = '\0';
    if (exePath == nullptr) return false;
    const std::size_t length = std::strlen(exePath);
    if (length == 0 || length >= kPathBytes) return false;
    const std::size_t split = PathSplitPoint(exePath, length, isLeadByte);
    if (split == 0) return false;
    const std::size_t kept = split - 1;  // without the backslash
    std::memcpy(directory, exePath, kept);
    directory[kept] = '\0';
    return true;
}

bool BuildControlPath(const char* directory, PathBuffer& path) {
    return Compose(path, "%s\\ocx\\brindle\\VANTO.ocx", directory);
}

bool BuildRegistrationCommand(const char* program, const char* controlPath, PathBuffer& command) {
    if (program == nullptr) return Compose(command, "regsvr32 /s \"%s\"", controlPath);
    if (controlPath == nullptr) return false;
    // Quoted: a program path with a blank must not be read as a shorter program.
    const int written = std::snprintf(command, kPathBytes, "\"%s\" /s \"%s\"", program, controlPath);
    const bool fits = Fits(written);
    if (!fits) command[0] = '\0';
    return fits;
}

bool BuildViewerPath(const char* directory, PathBuffer& path) {
    return Compose(path, "%s\\Quil.exe", directory);
}

}  // namespace nubix
