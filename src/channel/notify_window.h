// The hidden window that receives everything coming back to the library: the
// viewer's open result and results, and the messages the host posts.
#pragma once

#include <windows.h>

#include "client/vs_client.h"

namespace nubix {

// Creates the window on the calling thread, registering its class (named by the
// current second) when needed. Returns null when that fails.
HWND CreateNotifyWindow();

// Destroys the window and unregisters its class when no other window uses it. The
// results still queued for the window are posted on to `heir` (the window that
// replaces it), or freed when there is none, so that no copy is left behind.
void DestroyNotifyWindow(HWND window, HWND heir = nullptr);

LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Returns 1 when `message` is one of the window's own numbers, 0 otherwise. `client`
// may be null (no live client): handled numbers are then answered without effect,
// except that a result copy the window posted is freed.
int HandleNotifyMessage(VSClient* client, UINT message, WPARAM wParam, LPARAM lParam);

// Copies a picture or record-file result and posts the copy to the client's window.
void HandleCopyData(VSClient* client, WPARAM wParam, const COPYDATASTRUCT* copyData);

}  // namespace nubix
