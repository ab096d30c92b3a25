#include "services/server_mac.h"

// winsock2 before windows.h's winsock; iphlpapi for SendARP.
#include <winsock2.h>
#include <iphlpapi.h>

#include <atomic>
#include <cstring>

#include "client/process_state.h"
#include "client/vs_client.h"
#include "services/mac_text.h"

namespace nubix {
namespace {

DWORD WINAPI SystemArp(ULONG destination, ULONG source, void* address, ULONG* length) {
    return SendARP(destination, source, address, length);
}

std::atomic<ArpRequest> Arp{SystemArp};

}  // namespace

void SetArpRequestForTesting(ArpRequest request) { Arp = request ? request : SystemArp; }

int VSClient::GetServerMac(char* buffer, int size) {
    // A size with no buffer behind it cannot be honoured.
    if (buffer == nullptr && size > 0) return 0;
    char address[sizeof SavedLogin.address + 1] = {};
    std::memcpy(address, SavedLogin.address, sizeof SavedLogin.address);
    const ULONG destination = inet_addr(address);
    // Empty, malformed or not a host: no request to send.
    if (destination == INADDR_NONE || destination == INADDR_ANY) {
        return FormatMacText(nullptr, 0, buffer, size) ? 1 : 0;
    }

    std::uint8_t pulMac[8];
    std::memset(pulMac, 0xFF, sizeof pulMac);
    ULONG ulLen = 6;
    const DWORD error = Arp.load()(destination, 0, pulMac, &ulLen);
    // Never format more bytes than the address buffer holds, whatever the answer says.
    const std::size_t count = error == NO_ERROR ? (ulLen < sizeof pulMac ? ulLen : sizeof pulMac) : 0;
    return FormatMacText(pulMac, count, buffer, size) ? 1 : 0;
}

}  // namespace nubix
