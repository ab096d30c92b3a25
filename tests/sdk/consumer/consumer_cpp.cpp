// A C++ host built against the installed SDK: opens the simulated server, takes one
// picture and waits on its own message loop for the two callbacks, the status and
// then the picture's path. Prints what fails; exit code 0 when all went well.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "NubixVSClient.h"

namespace {

struct Call {
    int channel;
    unsigned kind;
    int tag;
    std::string data;  // the StatusBlock's bytes, or the path
};
std::vector<Call> Calls;

int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length) {
    Calls.push_back({channel, kind, tag, std::string(static_cast<const char*>(data), length > 0 ? length : 0)});
    return 0;
}

bool PumpUntil(std::size_t calls, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (Calls.size() < calls) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (Calls.size() >= calls || GetTickCount() - start > timeoutMs) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return Calls.size() >= calls;
}

int failures = 0;
void Expect(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string picture(exe);
    picture = picture.substr(0, picture.find_last_of('\\') + 1) + "consumer_cpp.bmp";
    DeleteFileA(picture.c_str());

    IVSClient* client = kesaCreateVSClient();
    if (client == nullptr) {
        std::printf("FAIL: kesaCreateVSClient\n");
        return 1;
    }
    client->SetCallback(OnResult);
    if (client->OpenServer("192.168.1.20", 0, "admin", "secret", 0) != 1) {
        std::printf("FAIL: OpenServer (see c:\\nv.log and c:\\vs.log)\n");
        client->CloseServer();
        kesaReleaseVSClient(client);
        return 1;
    }
    std::vector<char> block(8 + picture.size() + 1, '\0');
    const int total = static_cast<int>(block.size()), tag = 42;
    std::memcpy(&block[0], &total, 4);
    std::memcpy(&block[4], &tag, 4);
    std::memcpy(&block[8], picture.c_str(), picture.size());
    Expect(client->CapturePicture(0, reinterpret_cast<const RequestBlock*>(block.data())) == 1, "CapturePicture");
    Expect(PumpUntil(2, 20000), "two callbacks");
    client->CloseServer();
    kesaReleaseVSClient(client);

    if (Calls.size() >= 2) {
        StatusBlock status = {};
        std::memcpy(&status, Calls[0].data.data(), Calls[0].data.size() < 8 ? Calls[0].data.size() : 8);
        Expect(Calls[0].kind == KIND_STATUS && Calls[0].data.size() == 8, "first the status");
        Expect(status.operation == STATUS_OP_PICTURE && status.outcome == 0, "the picture succeeded");
        Expect(Calls[1].kind == KIND_PICTURE_FILE && Calls[1].data == picture, "then the picture's path");
        for (const Call& call : Calls) Expect(call.channel == 0 && call.tag == tag, "channel and tag echoed");
        std::printf("status: operation %u outcome %d\npicture: %s\n", status.operation, status.outcome,
                    Calls[1].data.c_str());
    }
    Expect(GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES, "the picture exists");
    std::printf("consumer_cpp: %s\n", failures == 0 ? "passed" : "failed");
    return failures == 0 ? 0 : 1;
}
