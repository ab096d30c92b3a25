// The lead-byte test of the system's ANSI code page, which the path splits use for
// paths that the host and the system hand the library.
#pragma once

#include <windows.h>

namespace nubix {

inline bool IsSystemLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

}  // namespace nubix
