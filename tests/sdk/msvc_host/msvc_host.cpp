// A host built the way MSVC builds it: MSVC class layout, vtable and __thiscall
// (clang --target=i686-pc-windows-msvc), or the x64 convention
// (--target=x86_64-pc-windows-msvc), linked by lld-link against the SDK's
// NubixVSClient.lib, with no C runtime at all: its own entry point, its own memset
// and memcpy, output through WriteFile. It calls every export and every slot,
// checking each result and that ESP is where it was, then runs the picture and
// record-file road against the viewer simulator. Prints each failure; the exit
// code is the number of failures.
#include "NubixVSClient.h"

extern "C" {

// Compilers emit calls to these for block copies and zeroing, runtime or not.
void* __cdecl memset(void* target, int value, size_t size) {
    volatile unsigned char* p = static_cast<unsigned char*>(target);
    while (size-- != 0) *p++ = static_cast<unsigned char>(value);
    return target;
}

void* __cdecl memcpy(void* target, const void* source, size_t size) {
    volatile unsigned char* t = static_cast<unsigned char*>(target);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (size-- != 0) *t++ = *s++;
    return target;
}

}  // extern "C"

namespace {

int Failures = 0;

int Length(const char* text) {
    int n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

bool Same(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

void Print(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(Length(text)), &written, nullptr);
}

void PrintInt(int value) {
    char digits[12];
    char* p = digits + sizeof digits;
    *--p = '\0';
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    Print(p);
}

void Expect(bool ok, const char* what) {
    if (ok) return;
    Print("FAIL: ");
    Print(what);
    Print("\r\n");
    ++Failures;
}

void ExpectInt(int actual, int expected, const char* what) {
    if (actual == expected) return;
    Print("FAIL: ");
    Print(what);
    Print(": ");
    PrintInt(actual);
    Print(" instead of ");
    PrintInt(expected);
    Print("\r\n");
    ++Failures;
}

// A callee that removed the wrong number of argument bytes leaves the stack
// untrustworthy: report it and end at once.
void EspMoved(const char* call, int delta) {
    Print("FAIL: ");
    Print(call);
    Print(" moved ESP by ");
    PrintInt(delta);
    Print(" bytes\r\n");
    ExitProcess(100);
}

#if defined(_WIN64)
#define READ_ESP(v) __asm__ __volatile__("movq %%rsp, %0" : "=r"(v) : : "memory")
typedef unsigned long long StackPointer;
#else
#define READ_ESP(v) __asm__ __volatile__("movl %%esp, %0" : "=r"(v) : : "memory")
typedef unsigned StackPointer;
#endif

// Evaluates `call` (built at -O0: no deferred stack adjustment) and checks ESP (on
// x64, where the caller always removes its arguments, RSP).
#define KEEPS_ESP(name, call)                                           \
    do {                                                                \
        StackPointer espBefore_, espAfter_;                             \
        READ_ESP(espBefore_);                                           \
        call;                                                           \
        READ_ESP(espAfter_);                                            \
        if (espAfter_ != espBefore_) EspMoved(name, static_cast<int>(espAfter_ - espBefore_)); \
    } while (0)

// The check must see a callee that removes fewer bytes than were pushed: the
// caller pushes 8, the callee removes 4. ESP is then put back by hand, since this
// frame's epilogue counts on it.
#if !defined(_WIN64)
int __stdcall TakesOne(int a) { return a; }
typedef int(__stdcall* TakesTwo)(int, int);

void CheckTheCheck() {
    TakesTwo wrong = reinterpret_cast<TakesTwo>(reinterpret_cast<void*>(&TakesOne));
    unsigned before, after;
    READ_ESP(before);
    wrong(1, 2);
    READ_ESP(after);
    __asm__ __volatile__("movl %0, %%esp" : : "r"(before) : "memory");
    ExpectInt(static_cast<int>(after - before), -4, "ESP after a callee removing 4 of 8 argument bytes");
}
#endif

struct Call {
    int channel;
    int kind;
    int tag;
    int length;
    char data[272];
};

Call Calls[16];
int CallCount = 0;

int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length) {
    if (CallCount == 16) return 0;
    Call& call = Calls[CallCount++];
    call.channel = channel;
    call.kind = kind;
    call.tag = tag;
    call.length = length;
    const int copied = length < 0 ? 0 : (length < 271 ? length : 271);
    memcpy(call.data, data, static_cast<size_t>(copied));
    call.data[copied] = '\0';
    return 0;
}

// Dispatches messages until `count` callbacks have arrived or 20 s have passed.
bool PumpUntilCalls(int count) {
    const DWORD start = GetTickCount();
    while (CallCount < count) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (CallCount >= count) break;
        if (GetTickCount() - start > 20000) return false;
        MsgWaitForMultipleObjects(0, nullptr, 0, 50, QS_ALLINPUT);
    }
    return true;
}

void ExpectStatus(const Call& call, int channel, int tag, int operation, int outcome, const char* what) {
    Print("callback: status ");
    Print(what);
    Print("\r\n");
    ExpectInt(call.kind, KIND_STATUS, "status kind");
    ExpectInt(call.channel, channel, "status channel");
    ExpectInt(call.tag, tag, "status tag");
    ExpectInt(call.length, static_cast<int>(sizeof(StatusBlock)), "status length");
    const StatusBlock* status = reinterpret_cast<const StatusBlock*>(call.data);
    ExpectInt(status->operation, operation, "status operation");
    ExpectInt(status->reserved, 0, "status reserved");
    ExpectInt(status->outcome, outcome, "status outcome");
}

void ExpectFile(const Call& call, int kind, int channel, int tag, const char* path) {
    Print("callback: file ");
    Print(call.data);
    Print("\r\n");
    ExpectInt(call.kind, kind, "file kind");
    ExpectInt(call.channel, channel, "file channel");
    ExpectInt(call.tag, tag, "file tag");
    ExpectInt(call.length, Length(path), "file length");
    Expect(Same(call.data, path), "the file callback names the requested path");
    Expect(GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES, "the file exists");
}

// Request blocks and paths, static: the entry point keeps a small frame.
char Directory[MAX_PATH];
char PicturePath[MAX_PATH + 32];
char RecordPath[MAX_PATH + 32];
RequestBlock PictureRequest;
RequestBlock RecordRequest;

void Join(char* out, const char* directory, const char* name) {
    while (*directory != '\0') *out++ = *directory++;
    while (*name != '\0') *out++ = *name++;
    *out = '\0';
}

void FillRequest(RequestBlock& request, int tag, const char* path) {
    request.tag = tag;
    request.totalLength = 8 + Length(path) + 1;
    memcpy(request.path, path, static_cast<size_t>(Length(path) + 1));
}

void CallExports() {
    void* block = nullptr;
    KEEPS_ESP("kesaNewBuffer", block = kesaNewBuffer(0));
    Expect(block != nullptr, "kesaNewBuffer(0) gives a block");
    KEEPS_ESP("kesaDelBuffer", kesaDelBuffer(block));
    KEEPS_ESP("kesaDelBuffer(null)", kesaDelBuffer(nullptr));
    KEEPS_ESP("kesaReleaseVSClient(null)", kesaReleaseVSClient(nullptr));
}

// Every slot on a client whose server was never opened.
void CallSlotsBeforeOpen(IVSClient* client) {
    int result = -1;
    KEEPS_ESP("RestartServer", result = client->RestartServer());
    ExpectInt(result, 0, "RestartServer");
    KEEPS_ESP("CloseServer", result = client->CloseServer());
    ExpectInt(result, 0, "CloseServer before any open");
    KEEPS_ESP("Reserved3", result = client->Reserved3(7));
    ExpectInt(result, 0, "Reserved3");
    KEEPS_ESP("Reserved4", result = client->Reserved4(7));
    ExpectInt(result, 0, "Reserved4");
    KEEPS_ESP("CapturePicture", result = client->CapturePicture(0, &PictureRequest));
    ExpectInt(result, 0, "CapturePicture before any open");
    KEEPS_ESP("RequestRecordFile", result = client->RequestRecordFile(0, &RecordRequest));
    ExpectInt(result, 0, "RequestRecordFile before any open");
    KEEPS_ESP("Reserved7", client->Reserved7(7));
    KEEPS_ESP("Reserved8", client->Reserved8(7));
    char mac[16];
    memset(mac, 'x', sizeof mac);
    KEEPS_ESP("GetServerMac", result = client->GetServerMac(mac, sizeof mac));
    ExpectInt(result, 0, "GetServerMac before any open");
    for (char c : mac) Expect(c == 0, "GetServerMac clears the buffer when it fails");
    KEEPS_ESP("Reserved10", result = client->Reserved10(1, 2, 3, 4));
    ExpectInt(result, 0, "Reserved10");
    KEEPS_ESP("SetCallback", client->SetCallback(OnResult));
    HWND window = reinterpret_cast<HWND>(1);
    KEEPS_ESP("GetNotifyWindow", window = client->GetNotifyWindow());
    Expect(window == nullptr, "GetNotifyWindow is null before any open");
    RecordParams params;
    memset(&params, 0x5A, sizeof params);
    KEEPS_ESP("SetRecordParam", client->SetRecordParam(3, &params));
}

// Open, a picture, a record file and a restart, each outcome through the callback.
void RunTheRoad(IVSClient* client) {
    int result = 0;
    KEEPS_ESP("OpenServer", result = client->OpenServer("192.168.1.20", 0x11111111, "admin", "secret", 0x22222222));
    ExpectInt(result, 1, "OpenServer");
    if (result != 1) return;
    HWND window = nullptr;
    KEEPS_ESP("GetNotifyWindow", window = client->GetNotifyWindow());
    Expect(window != nullptr && IsWindow(window), "GetNotifyWindow is a window while the server is open");

    RecordParams params;
    memset(&params, 0x5A, sizeof params);
    KEEPS_ESP("SetRecordParam", client->SetRecordParam(254, &params));

    // Channel 0 is the library's starting channel: no channel change, no wait.
    KEEPS_ESP("CapturePicture", result = client->CapturePicture(0, &PictureRequest));
    ExpectInt(result, 1, "CapturePicture");
    Expect(PumpUntilCalls(2), "the picture's two callbacks arrive");
    if (CallCount >= 2) {
        ExpectStatus(Calls[0], 0, 1001, STATUS_OP_PICTURE, 0, "picture");
        ExpectFile(Calls[1], KIND_PICTURE_FILE, 0, 1001, PicturePath);
    }

    KEEPS_ESP("RequestRecordFile", result = client->RequestRecordFile(6, &RecordRequest));
    ExpectInt(result, 1, "RequestRecordFile");
    Expect(PumpUntilCalls(4), "the record file's two callbacks arrive");
    if (CallCount >= 4) {
        ExpectStatus(Calls[2], 6, 1002, STATUS_OP_RECORD_FILE, 0, "record file");
        ExpectFile(Calls[3], KIND_RECORD_FILE, 6, 1002, RecordPath);
    }

    Expect(PostMessageA(window, MSG_RESTART_SERVER, 0, 1003) != 0, "MSG_RESTART_SERVER is posted");
    Expect(PumpUntilCalls(5), "the restart's callback arrives");
    if (CallCount >= 5) ExpectStatus(Calls[4], -1, 1003, STATUS_OP_RESTART, -1, "restart");

    // Wine answers no ARP request; whatever the answer, the text and the result agree.
    char mac[16];
    memset(mac, 'x', sizeof mac);
    KEEPS_ESP("GetServerMac", result = client->GetServerMac(mac, sizeof mac));
    if (result == 1) {
        ExpectInt(Length(mac), 12, "GetServerMac gives 12 hex digits");
    } else {
        ExpectInt(result, 0, "GetServerMac");
        for (char c : mac) Expect(c == 0, "GetServerMac clears the buffer when it fails");
    }

    KEEPS_ESP("CloseServer", result = client->CloseServer());
    ExpectInt(result, 0, "CloseServer");
    KEEPS_ESP("GetNotifyWindow", window = client->GetNotifyWindow());
    Expect(window == nullptr, "GetNotifyWindow is null after CloseServer");
}

}  // namespace

extern "C" void __cdecl HostMain() {
    Print("msvc_host: MSVC ABI host, no C runtime\r\n");
#if !defined(_WIN64)
    CheckTheCheck();
#endif

    GetModuleFileNameA(nullptr, Directory, MAX_PATH);
    int cut = Length(Directory);
    while (cut > 0 && Directory[cut - 1] != '\\') --cut;
    Directory[cut] = '\0';
    Join(PicturePath, Directory, "msvc_host.bmp");
    Join(RecordPath, Directory, "msvc_host.rec");
    DeleteFileA(PicturePath);
    DeleteFileA(RecordPath);
    FillRequest(PictureRequest, 1001, PicturePath);
    FillRequest(RecordRequest, 1002, RecordPath);

    CallExports();
    IVSClient* client = nullptr;
    KEEPS_ESP("kesaCreateVSClient", client = kesaCreateVSClient());
    Expect(client != nullptr, "kesaCreateVSClient gives a client");
    if (client != nullptr) {
        CallSlotsBeforeOpen(client);
        RunTheRoad(client);
        KEEPS_ESP("kesaReleaseVSClient", kesaReleaseVSClient(client));
    }

    Print(Failures == 0 ? "msvc_host: passed\r\n" : "msvc_host: failed\r\n");
    ExitProcess(static_cast<UINT>(Failures));
}
