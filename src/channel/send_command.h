// How long a command may wait for the viewer's answer.
#pragma once

#include <windows.h>

namespace nubix {

// A viewer that does not answer within this bound has not taken the command.
constexpr DWORD kCommandTimeoutMs = 60000;

// Tests shorten the bound; 0 restores kCommandTimeoutMs.
void SetCommandTimeoutForTesting(DWORD milliseconds);

class VSClient;

// Only the thread that owns the notification window can replace it. A command that
// fails on another thread posts this message (registered, so outside the window's
// own numbers) to the window, and the owner re-opens when it dispatches it.
UINT ReopenMessage();

// The re-open that a failed command asked `window` for, run on that window's thread.
void ReopenOnWindowThread(VSClient& client, HWND window);

}  // namespace nubix
