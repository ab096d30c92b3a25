#include "fault/resource_counts.h"

#include <malloc.h>
#include <psapi.h>

#include <cstring>
#include <vector>

#include "client/block_list.h"

namespace nubix::fault {
namespace {

BOOL CALLBACK CountNotifyWindow(HWND window, LPARAM count) {
    char title[16] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, "Sample") == 0) ++*reinterpret_cast<std::size_t*>(count);
    return TRUE;
}

}  // namespace

ResourceCounts CountResources() {
    ResourceCounts counts{};
    counts.resultCopies = ResultCopies.Count();
    counts.hostBuffers = HostBuffers.Count();
    counts.mappedViews = MappedViews();
    EnumThreadWindows(GetCurrentThreadId(), CountNotifyWindow, reinterpret_cast<LPARAM>(&counts.notifyWindows));
    return counts;
}

std::size_t MappedViews() {
    std::size_t views = 0;
    MEMORY_BASIC_INFORMATION info;
    const char* address = nullptr;
    while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
        if (info.Type == MEM_MAPPED && info.State != MEM_FREE && info.BaseAddress == info.AllocationBase) ++views;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return views;
}

std::size_t HeapBytesInUse() {
    std::size_t bytes = 0;
    _HEAPINFO entry;
    entry._pentry = nullptr;
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) bytes += entry._size;
    }
    return bytes;
}

std::size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        return 0;
    }
    // Wine reports no private usage; its commit charge is the nearest figure.
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

HANDLE StartProcess(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

namespace {

long WaitPumping(HANDLE process, DWORD timeoutMs, bool sentOnly) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        if (sentOnly) {
            // Handles the sent messages; a posted one is looked at, not taken.
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        DWORD code = 0;
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code)) {
            return static_cast<long>(code);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return -1;
        const DWORD wait = static_cast<DWORD>(deadline - now < 50 ? deadline - now : 50);
        MsgWaitForMultipleObjects(1, &process, FALSE, wait, sentOnly ? QS_SENDMESSAGE : QS_ALLINPUT);
    }
}

}  // namespace

long PumpUntilExit(HANDLE process, DWORD timeoutMs) { return WaitPumping(process, timeoutMs, false); }

bool HandleSentUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20),
                                  QS_SENDMESSAGE);
    }
}

long HandleSentUntilExit(HANDLE process, DWORD timeoutMs) { return WaitPumping(process, timeoutMs, true); }

}  // namespace nubix::fault
