// State that the library keeps once per process: it serves one client at a time.
#pragma once

#include <windows.h>

#include <atomic>

#include "channel/command_record.h"
#include "channel/rendezvous.h"
#include "client/win_handles.h"

namespace nubix {

class VSClient;

// The client that the notification window hands its messages to; null when none lives.
extern std::atomic<VSClient*> ActiveClient;

// Login of the last open that found the rendezvous; sent with CMD_OPEN_SERVER.
extern OpenServerBlock SavedLogin;

// The mapped rendezvous with the viewer and the mapping it belongs to.
extern MappedView RendezvousView;
extern UniqueHandle RendezvousMapping;

// Serialises commands to the viewer (re-entrant on the holding thread).
extern CRITICAL_SECTION CommandLock;
// Serialises the operation log. Taken after CommandLock, never before it.
extern CRITICAL_SECTION LogLock;

// The locks live from the first live client's construction to the last one's
// destruction, so a host that creates its next client before releasing the old one
// never sees a lock re-initialised under it.
void AcquireProcessLocks();
void ReleaseProcessLocks();
bool ProcessLocksAlive();

// The mapped block, or null before any open found the rendezvous.
RendezvousBlock* Rendezvous();

// Zeroes both words of the block (the viewer then sees no handles), unmaps the view
// and closes the mapping. Does nothing when nothing is mapped.
void ReleaseRendezvous();

}  // namespace nubix
