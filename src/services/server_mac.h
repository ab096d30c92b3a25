// The ARP request behind GetServerMac, replaceable by tests.
#pragma once

#include <windows.h>

namespace nubix {

// As SendARP: fills `address` and sets `*length` to the bytes written; 0 on success.
using ArpRequest = DWORD(WINAPI*)(ULONG destination, ULONG source, void* address, ULONG* length);

// Tests install their own answer; null restores the system's SendARP.
void SetArpRequestForTesting(ArpRequest request);

}  // namespace nubix
