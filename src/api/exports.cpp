// The four exported functions.
#include <new>

#include "NubixVSClient.h"
#include "client/block_list.h"
#include "client/vs_client.h"

extern "C" IVSClient* __cdecl kesaCreateVSClient(void) {
    return new (std::nothrow) nubix::VSClient;
}

extern "C" void __cdecl kesaReleaseVSClient(IVSClient* client) {
    // VSClient is the only implementation and IVSClient has no virtual destructor.
    delete static_cast<nubix::VSClient*>(client);
}

extern "C" void* __cdecl kesaNewBuffer(unsigned int size) {
    return nubix::HostBuffers.Allocate(size);
}

extern "C" void __cdecl kesaDelBuffer(void* block) {
    // Only blocks from kesaNewBuffer that are still outstanding are freed.
    nubix::HostBuffers.Free(block);
}
