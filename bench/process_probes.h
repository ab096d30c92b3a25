// What a process holds, as far as Wine lets us see it: it reports no handle or GUI
// object counts and a PrivateUsage of 0, so memory is read from the address space
// and the heaps, and window classes and windows are probed by name and enumerated.
#pragma once

#include <windows.h>

#include <cstdint>

namespace bench {

struct Footprint {
    std::int64_t privateBytes = 0;    // committed MEM_PRIVATE bytes, by VirtualQuery
    std::int64_t heapBusy = 0;        // bytes in busy blocks of every heap of the process
    int mappedViews = 0;              // MEM_MAPPED allocations, by VirtualQuery
    int threadWindows = 0;            // top-level windows of this thread
};

Footprint MeasureFootprint();

// How many of the decimal names from `firstSecond` to `lastSecond` (the notification
// window's class names are the C time of their creation) are registered classes of
// this executable.
int CountTimeNamedClasses(long long firstSecond, long long lastSecond);

}  // namespace bench
