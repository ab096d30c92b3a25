/*
 * x64 test processes: the free address space below 4 GiB is reserved, and the room
 * left in the heaps that already exist is used up, before main runs. Wine places
 * mapped views and heap blocks below 4 GiB, where a pointer or handle cut to 32 bits
 * still works by luck; with that room gone, every later view and block lies above
 * 4 GiB and such a cut fails a test. Compiled into every x64 test executable (C and
 * C++ alike) as a source of its own, so that its constructor always runs; test code
 * only, hence the GCC attribute.
 */
#if defined(_WIN64)
#include <windows.h>

#include <stdint.h>

#include "support/low_address_fill.h"

#define FOUR_GIB ((uintptr_t)0x100000000ull)

static int low_regions_reserved = 0;

static void ReserveFreeLowRegions(void) {
    SYSTEM_INFO info;
    MEMORY_BASIC_INFORMATION region;
    uintptr_t granularity, address;
    GetSystemInfo(&info);
    granularity = info.dwAllocationGranularity;
    address = (uintptr_t)info.lpMinimumApplicationAddress;
    while (address < FOUR_GIB && VirtualQuery((void*)address, &region, sizeof region) == sizeof region) {
        const uintptr_t base = (uintptr_t)region.BaseAddress;
        const uintptr_t next = base + region.RegionSize;
        if (region.State == MEM_FREE) {
            /* Reservations start on the allocation granularity. */
            const uintptr_t start = (base + granularity - 1) & ~(granularity - 1);
            const uintptr_t end = next < FOUR_GIB ? next : FOUR_GIB;
            if (start < end) VirtualAlloc((void*)start, end - start, MEM_RESERVE, PAGE_NOACCESS);
        }
        if (next <= address) break;
        address = next;
    }
    low_regions_reserved = 1;
}

/* Takes blocks of falling sizes from each heap until it answers from above 4 GiB;
 * the blocks below stay taken for the life of the process. */
static void UseUpLowHeapRoom(void) {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps), h;
    if (count > 64) count = 64;
    for (h = 0; h < count; ++h) {
        SIZE_T size;
        for (size = 256 * 1024; size >= 16; size /= 4) {
            int i;
            for (i = 0; i < 65536; ++i) {
                void* block = HeapAlloc(heaps[h], 0, size);
                if (block == NULL) break;
                if ((uintptr_t)block >= FOUR_GIB) {
                    HeapFree(heaps[h], 0, block);
                    break;
                }
            }
        }
    }
}

__attribute__((constructor)) static void FillLowAddressSpace(void) {
    ReserveFreeLowRegions();
    UseUpLowHeapRoom();
}

int NubixLowAddressSpaceFilled(void) { return low_regions_reserved; }
#endif
