/*
 * A C host built against the installed SDK, through the header's C view: opens the
 * simulated server, takes one picture and waits on its own message loop for the two
 * callbacks, the status and then the picture's path. Prints what fails; exit code 0
 * when all went well.
 */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "NubixVSClient.h"

typedef struct Call {
    int channel;
    unsigned kind;
    int tag;
    int length;
    char data[272];
} Call;

static Call calls[8];
static int callCount = 0;
static int failures = 0;

static int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length) {
    if (callCount < 8) {
        Call* call = &calls[callCount];
        int copied = length < 0 ? 0 : (length < 271 ? length : 271);
        call->channel = channel;
        call->kind = kind;
        call->tag = tag;
        call->length = length;
        memcpy(call->data, data, (size_t)copied);
        call->data[copied] = '\0';
    }
    ++callCount;
    return 0;
}

static int PumpUntil(int count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (callCount < count) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (callCount >= count || GetTickCount() - start > timeoutMs) break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    return callCount >= count;
}

static void Expect(int ok, const char* what) {
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

int main(void) {
    char picture[MAX_PATH + 32] = {0};
    char* cut;
    static RequestBlock request;
    IVSClient* client;
    StatusBlock status;

    GetModuleFileNameA(NULL, picture, MAX_PATH);
    cut = strrchr(picture, '\\');
    strcpy(cut != NULL ? cut + 1 : picture, "consumer_c.bmp");
    DeleteFileA(picture);

    client = kesaCreateVSClient();
    if (client == NULL) {
        printf("FAIL: kesaCreateVSClient\n");
        return 1;
    }
    IVSClient_SetCallback(client, OnResult);
    if (IVSClient_OpenServer(client, "192.168.1.20", 0, "admin", "secret", 0) != 1) {
        printf("FAIL: OpenServer (see c:\\nv.log and c:\\vs.log)\n");
        IVSClient_CloseServer(client);
        kesaReleaseVSClient(client);
        return 1;
    }
    request.totalLength = (int)(8 + strlen(picture) + 1);
    request.tag = 43;
    strcpy(request.path, picture);
    Expect(IVSClient_CapturePicture(client, 0, &request) == 1, "CapturePicture");
    Expect(PumpUntil(2, 20000), "two callbacks");
    IVSClient_CloseServer(client);
    kesaReleaseVSClient(client);

    if (callCount >= 2) {
        int i;
        memcpy(&status, calls[0].data, sizeof status);
        Expect(calls[0].kind == KIND_STATUS && calls[0].length == 8, "first the status");
        Expect(status.operation == STATUS_OP_PICTURE && status.outcome == 0, "the picture succeeded");
        Expect(calls[1].kind == KIND_PICTURE_FILE && strcmp(calls[1].data, picture) == 0 &&
                   calls[1].length == (int)strlen(picture),
               "then the picture's path");
        for (i = 0; i < 2; ++i) Expect(calls[i].channel == 0 && calls[i].tag == 43, "channel and tag echoed");
        printf("status: operation %u outcome %d\npicture: %s\n", status.operation, status.outcome, calls[1].data);
    }
    Expect(GetFileAttributesA(picture) != INVALID_FILE_ATTRIBUTES, "the picture exists");
    printf("consumer_c: %s\n", failures == 0 ? "passed" : "failed");
    return failures == 0 ? 0 : 1;
}
