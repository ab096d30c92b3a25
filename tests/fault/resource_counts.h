// What the library could leak, counted from inside the host process. Wine reports no
// handle or GUI-object counts, so views are counted by walking the address space and
// windows by enumerating this thread's.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace nubix::fault {

struct ResourceCounts {
    std::size_t resultCopies;  // result copies posted and not yet handled
    std::size_t hostBuffers;   // kesaNewBuffer blocks not yet freed
    std::size_t mappedViews;   // views of file mappings in this process
    std::size_t notifyWindows; // the library's windows ("Sample") of the calling thread
};

ResourceCounts CountResources();

// Views mapped into this process (MEM_MAPPED allocations), counted with VirtualQuery.
std::size_t MappedViews();

// Bytes in use in the C runtime's heap, summed block by block with _heapwalk.
std::size_t HeapBytesInUse();

// The process's private bytes (GetProcessMemoryInfo; under Wine, which reports none,
// the commit charge).
std::size_t PrivateBytes();

// Runs `commandLine` (the program's path first) and returns its process handle, or
// null. The caller closes it.
HANDLE StartProcess(const std::string& commandLine);

// Dispatches this thread's messages until `process` has ended or `timeoutMs` passed;
// returns its exit code, or -1 when it did not end in time.
long PumpUntilExit(HANDLE process, DWORD timeoutMs);

// Like PumpUntilExit, but handles only messages sent to this thread's windows: posted
// messages stay in the queue meanwhile.
long HandleSentUntilExit(HANDLE process, DWORD timeoutMs);

// Handles only the messages sent to this thread's windows until `done` returns true
// or `timeoutMs` passes; returns whether `done` became true.
bool HandleSentUntil(const std::function<bool()>& done, DWORD timeoutMs);

}  // namespace nubix::fault
