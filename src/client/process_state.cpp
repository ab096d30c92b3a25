#include "client/process_state.h"

namespace nubix {

std::atomic<VSClient*> ActiveClient{nullptr};
OpenServerBlock SavedLogin{};
MappedView RendezvousView;
UniqueHandle RendezvousMapping;
CRITICAL_SECTION CommandLock;
CRITICAL_SECTION LogLock;

namespace {
SRWLOCK LiveClientsLock = SRWLOCK_INIT;
int LiveClients = 0;
std::atomic<bool> LocksAlive{false};
}  // namespace

void AcquireProcessLocks() {
    SrwGuard guard(LiveClientsLock);
    if (LiveClients++ == 0) {
        InitializeCriticalSection(&LogLock);
        InitializeCriticalSection(&CommandLock);
        LocksAlive = true;
    }
}

void ReleaseProcessLocks() {
    SrwGuard guard(LiveClientsLock);
    if (LiveClients == 0) return;
    if (--LiveClients == 0) {
        LocksAlive = false;
        DeleteCriticalSection(&LogLock);
        DeleteCriticalSection(&CommandLock);
    }
}

bool ProcessLocksAlive() { return LocksAlive; }

RendezvousBlock* Rendezvous() { return static_cast<RendezvousBlock*>(RendezvousView.Get()); }

void ReleaseRendezvous() {
    if (RendezvousBlock* block = Rendezvous()) {
        block->viewerWindow = 0;
        block->clientWindow = 0;
    }
    RendezvousView.Reset();
    RendezvousMapping.Reset();
}

}  // namespace nubix
