// Paths built from the directory of the host's executable. Each lives in a 256-byte
// buffer; a path that does not fit is refused, never cut. No Windows headers.
#pragma once

#include <cstddef>

namespace nubix {

constexpr std::size_t kPathBytes = 256;
using PathBuffer = char[kPathBytes];

// The executable's path cut at its last backslash (the backslash removed). False
// when the path is empty or has no backslash.
bool ApplicationDirectory(const char* exePath, PathBuffer& directory);

// directory + "\ocx\brindle\VANTO.ocx"
bool BuildControlPath(const char* directory, PathBuffer& path);

// regsvr32 /s "CONTROL PATH", or, with a program named in full,
// "PROGRAM" /s "CONTROL PATH". A null program is plain regsvr32.
bool BuildRegistrationCommand(const char* program, const char* controlPath, PathBuffer& command);

// directory + "\Quil.exe"
bool BuildViewerPath(const char* directory, PathBuffer& path);

}  // namespace nubix
