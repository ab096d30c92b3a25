#include "process_probes.h"

#include <cstdio>

namespace bench {
namespace {

constexpr int kMaxHeaps = 64;

void WalkAddressSpace(Footprint& footprint) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto* address = static_cast<const unsigned char*>(system.lpMinimumApplicationAddress);
    const auto* end = static_cast<const unsigned char*>(system.lpMaximumApplicationAddress);
    const void* lastMappedBase = nullptr;
    MEMORY_BASIC_INFORMATION region;
    while (address < end && VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            footprint.privateBytes += static_cast<std::int64_t>(region.RegionSize);
        }
        if (region.State != MEM_FREE && region.Type == MEM_MAPPED && region.AllocationBase != lastMappedBase) {
            ++footprint.mappedViews;
            lastMappedBase = region.AllocationBase;
        }
        address = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
    }
}

std::int64_t HeapBusyBytes() {
    HANDLE heaps[kMaxHeaps];
    const DWORD count = GetProcessHeaps(kMaxHeaps, heaps);
    std::int64_t busy = 0;
    for (DWORD i = 0; i < count && i < kMaxHeaps; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return busy;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

Footprint MeasureFootprint() {
    Footprint footprint;
    WalkAddressSpace(footprint);
    footprint.heapBusy = HeapBusyBytes();
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&footprint.threadWindows));
    return footprint;
}

int CountTimeNamedClasses(long long firstSecond, long long lastSecond) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    int count = 0;
    for (long long second = firstSecond; second <= lastSecond; ++second) {
        char name[32];
        std::snprintf(name, sizeof name, "%d", static_cast<int>(second));
        WNDCLASSA existing;
        if (GetClassInfoA(instance, name, &existing)) ++count;
    }
    return count;
}

}  // namespace bench
