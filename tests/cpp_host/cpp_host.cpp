// A host written in C++: it reaches the client through the header's C++ view, linked
// against the import library, with NubixVSClient.dll loaded from its own directory.
// Built twice: with the C++ runtime linked in (cpp_host, in bin\), and with the
// shared libgcc and libstdc++ DLLs (cpp_host_shared_libgcc, in bin\sharedgcc\). With
// the shared libgcc, the DLL's unwind tables are registered with the host's unwinder,
// so anything thrown inside the DLL would end this process. Prints what fails and
// returns non-zero.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "NubixVSClient.h"
#include "esp_check.h"

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}

void ExpectEspKept(intptr_t delta, const char* call) {
    if (delta != 0) {
        std::printf("FAIL: %s moved ESP by %d bytes\n", call, static_cast<int>(delta));
        ++failures;
    }
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

bool SameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

#if !defined(_WIN64)
int __stdcall TakesOne(int a) { return a; }
using TakesTwo = int(__stdcall*)(int, int);
#endif

// The check must see a callee that removes 4 of the 8 bytes that were pushed. On x64
// the caller always removes its arguments: nothing to see there.
void CheckTheCheck() {
#if !defined(_WIN64)
    auto wrong = reinterpret_cast<TakesTwo>(reinterpret_cast<void (*)()>(TakesOne));
    intptr_t delta = 0;
    NUBIX_ESP_DELTA(delta, wrong(1, 2));
    Expect(delta == -4, "the ESP check sees a callee that removes too few bytes");
#endif
}

void CheckRuntime() {
    const std::string exeDir = DirectoryOf(ModulePath(nullptr));
    HMODULE dll = GetModuleHandleA("NubixVSClient.dll");
    Expect(dll != nullptr && SameText(DirectoryOf(ModulePath(dll)), exeDir),
           "NubixVSClient.dll is loaded from the host's own directory");
#ifdef NUBIX_SHARED_LIBGCC_HOST
    Expect(GetModuleHandleA("libgcc_s_dw2-1.dll") != nullptr, "the shared libgcc is loaded");
    Expect(GetModuleHandleA("libstdc++-6.dll") != nullptr, "the shared libstdc++ is loaded");
#endif
    // The host's own exceptions still work with the DLL loaded.
    bool caught = false;
    try {
        throw std::runtime_error("host");
    } catch (const std::runtime_error&) {
        caught = true;
    }
    Expect(caught, "the host catches its own exception");
}

void CheckBuffers() {
    intptr_t delta = 0;
    void* block = nullptr;
    NUBIX_ESP_DELTA(delta, block = kesaNewBuffer(20));
    ExpectEspKept(delta, "kesaNewBuffer");
    Expect(block != nullptr, "kesaNewBuffer(20) returns a block");
    if (block != nullptr) std::memset(block, 0x5A, 20);
    NUBIX_ESP_DELTA(delta, kesaDelBuffer(block));
    ExpectEspKept(delta, "kesaDelBuffer");

    block = kesaNewBuffer(0);
    Expect(block != nullptr, "kesaNewBuffer(0) returns a block");
    kesaDelBuffer(block);
    kesaDelBuffer(nullptr);

    // Sizes no 32-bit heap can give: null, and no exception on the way. On x64 a
    // block may come back; then all of it is there.
    static const unsigned int kHuge[] = {0xFFFFFFF0u, 0xFFFFFFFFu, 0xFFFFFFEFu, 0xF0000000u};
    for (unsigned int size : kHuge) {
        void* huge = kesaNewBuffer(size);
        if (huge != nullptr) {
#if defined(_WIN64)
            static_cast<unsigned char*>(huge)[size - 1] = 0x5A;
#else
            std::printf("FAIL: kesaNewBuffer(0x%08X) returned a block\n", size);
            ++failures;
#endif
            kesaDelBuffer(huge);
        }
    }
}

int __stdcall OnResult(int, unsigned short, int, void*, int) {
    std::printf("FAIL: a callback arrived although the server was never opened\n");
    ++failures;
    return 0;
}

void CheckSlots(IVSClient* c) {
    intptr_t delta = 0;
    int r = -1;
    HWND window = reinterpret_cast<HWND>(1);

    NUBIX_ESP_DELTA(delta, r = c->RestartServer());
    ExpectEspKept(delta, "RestartServer");
    Expect(r == 0, "RestartServer returns 0");

    NUBIX_ESP_DELTA(delta, window = c->GetNotifyWindow());
    ExpectEspKept(delta, "GetNotifyWindow");
    Expect(window == nullptr, "GetNotifyWindow is null before any open");

    NUBIX_ESP_DELTA(delta, r = c->OpenServer(nullptr, 11, "admin", "secret", 12));
    ExpectEspKept(delta, "OpenServer");
    Expect(r == 0, "OpenServer with a null address returns 0");

#ifdef NUBIX_SHARED_LIBGCC_HOST
    // No viewer lives in this directory: the open runs as far as it can and fails.
    r = -1;
    NUBIX_ESP_DELTA(delta, r = c->OpenServer("127.0.0.1", 0, "admin", "secret", 0));
    ExpectEspKept(delta, "OpenServer without a viewer");
    Expect(r == 0, "OpenServer without a viewer returns 0");
#endif

    NUBIX_ESP_DELTA(delta, r = c->Reserved3(0x33));
    ExpectEspKept(delta, "Reserved3");
    Expect(r == 0, "Reserved3 returns 0");
    NUBIX_ESP_DELTA(delta, r = c->Reserved4(0x44));
    ExpectEspKept(delta, "Reserved4");
    Expect(r == 0, "Reserved4 returns 0");

    static const char kPath[] = "C:\\pictures\\ch2.bmp";
    RequestBlock request;
    std::memset(&request, 0, sizeof request);
    request.totalLength = static_cast<int>(8 + sizeof kPath);
    request.tag = 77;
    std::memcpy(request.path, kPath, sizeof kPath);
    r = -1;
    NUBIX_ESP_DELTA(delta, r = c->CapturePicture(2, &request));
    ExpectEspKept(delta, "CapturePicture");
    Expect(r == 0, "CapturePicture before any open returns 0");
    r = -1;
    NUBIX_ESP_DELTA(delta, r = c->RequestRecordFile(2, &request));
    ExpectEspKept(delta, "RequestRecordFile");
    Expect(r == 0, "RequestRecordFile before any open returns 0");

    NUBIX_ESP_DELTA(delta, r = c->Reserved7(0x77));
    ExpectEspKept(delta, "Reserved7");
    NUBIX_ESP_DELTA(delta, r = c->Reserved8(0x88));
    ExpectEspKept(delta, "Reserved8");

    char buffer[20];
    std::memset(buffer, 0xAA, sizeof buffer);
    r = -1;
    NUBIX_ESP_DELTA(delta, r = c->GetServerMac(buffer, 18));
    ExpectEspKept(delta, "GetServerMac");
    Expect(r == 0, "GetServerMac with no server found returns 0");
    bool zeroed = true;
    for (int i = 0; i < 18; ++i) zeroed = zeroed && buffer[i] == 0;
    Expect(zeroed, "GetServerMac with no server found zeroes the whole buffer");
    Expect(static_cast<unsigned char>(buffer[18]) == 0xAA &&
               static_cast<unsigned char>(buffer[19]) == 0xAA,
           "GetServerMac writes nothing past the size it was given");

    NUBIX_ESP_DELTA(delta, r = c->Reserved10(1, 2, 3, 4));
    ExpectEspKept(delta, "Reserved10");
    Expect(r == 0, "Reserved10 returns 0");

    NUBIX_ESP_DELTA(delta, c->SetCallback(OnResult));
    ExpectEspKept(delta, "SetCallback");
    NUBIX_ESP_DELTA(delta, c->SetCallback(nullptr));
    ExpectEspKept(delta, "SetCallback(nullptr)");

    RecordParams params;
    std::memset(&params, 0x3C, sizeof params);
    NUBIX_ESP_DELTA(delta, c->SetRecordParam(0, &params));
    ExpectEspKept(delta, "SetRecordParam");
    NUBIX_ESP_DELTA(delta, c->SetRecordParam(-1, nullptr));
    ExpectEspKept(delta, "SetRecordParam(-1, nullptr)");

    r = -1;
    NUBIX_ESP_DELTA(delta, r = c->CloseServer());
    ExpectEspKept(delta, "CloseServer");
    Expect(r == 0, "CloseServer returns 0");
    Expect(c->GetNotifyWindow() == nullptr, "GetNotifyWindow is null after CloseServer");
}

}  // namespace

int main() {
    CheckTheCheck();
    CheckRuntime();
    CheckBuffers();

    intptr_t delta = 0;
    IVSClient* client = nullptr;
    NUBIX_ESP_DELTA(delta, client = kesaCreateVSClient());
    ExpectEspKept(delta, "kesaCreateVSClient");
    Expect(client != nullptr, "kesaCreateVSClient returns a client");
    if (client != nullptr) {
        CheckSlots(client);
        NUBIX_ESP_DELTA(delta, kesaReleaseVSClient(client));
        ExpectEspKept(delta, "kesaReleaseVSClient");
    }
    kesaReleaseVSClient(nullptr);
    CheckRuntime();

    if (failures != 0) {
        std::printf("%d check(s) failed\n", failures);
        return 1;
    }
    std::printf("all C++-view calls kept ESP and returned what they should\n");
    return 0;
}
