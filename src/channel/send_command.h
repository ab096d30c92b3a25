// How long a command may wait for the viewer's answer.
#pragma once

#include <windows.h>

namespace nubix {

// A viewer that does not answer within this bound has not taken the command.
constexpr DWORD kCommandTimeoutMs = 60000;

// Tests shorten the bound; 0 restores kCommandTimeoutMs.
void SetCommandTimeoutForTesting(DWORD milliseconds);

}  // namespace nubix
