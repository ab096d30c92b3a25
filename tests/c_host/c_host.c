/*
 * A host written in C: it reaches the client through the header's C view, linked
 * against the import library, with NubixVSClient.dll loaded from its own directory.
 * The same source builds for both bitnesses. Every export and every slot is called
 * once; the server is never really opened, so no viewer is started. Prints what
 * fails and returns non-zero.
 *
 * x86: each slot is a __fastcall pointer with the object in ECX; ESP is read before
 * and after every call, which shows a slot that removes the wrong number of bytes.
 * x64: the slots are called through a checked view of the client, which shows a slot
 * that leaves RSP or any callee-saved register (RBX, RBP, RDI, RSI, R12-R15,
 * XMM6-XMM15) changed.
 */
#include <string.h>

#include "NubixVSClient.h"
#include "esp_check.h"

#if defined(_WIN64)
#include "abi_check_x64.h"
#define NUBIX_SLOT_CALL(delta, call)           \
    do {                                       \
        nubix_clobbered = 0;                   \
        call;                                  \
        (delta) = (intptr_t)nubix_clobbered;   \
    } while (0)
#define NUBIX_BROKE "left registers changed, mask"
#else
#define NUBIX_SLOT_CALL NUBIX_ESP_DELTA
#define NUBIX_BROKE "moved ESP by"
#endif

static int failures = 0;

static void Expect(int ok, const char* what) {
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

static void ExpectEspKept(intptr_t delta, const char* call) {
    if (delta != 0) {
        printf("FAIL: %s moved ESP by %d bytes\n", call, (int)delta);
        ++failures;
    }
}

/* After a slot call: ESP kept (x86), or RSP and the callee-saved registers (x64). */
static void ExpectConventionKept(intptr_t delta, const char* call) {
    if (delta != 0) {
        printf("FAIL: %s " NUBIX_BROKE " %d (0x%x)\n", call, (int)delta, (unsigned)delta);
        ++failures;
    }
}

#if defined(_WIN64)
/* The check must see a slot that changes callee-saved registers. */
static void CheckTheCheck(void) {
    void* slots[14];
    IVSClient faulty;
    IVSClient checked;
    intptr_t delta = 0;
    const unsigned expected =
        NUBIX_CLOBBERED_GPR(1) | NUBIX_CLOBBERED_GPR(7) | NUBIX_CLOBBERED_XMM(7);
    int i;
    for (i = 0; i < 14; ++i) slots[i] = (void*)nubix_clobbering_slot;
    faulty.lpVtbl = (const IVSClientVtbl*)(void*)slots;
    checked.lpVtbl = &nubix_checked_vtbl;
    nubix_real_client = &faulty;
    NUBIX_SLOT_CALL(delta, IVSClient_RestartServer(&checked));
    if ((unsigned)delta != expected) {
        printf("FAIL: a slot changing RBX, R14 and XMM7 gave mask 0x%x, not 0x%x\n",
               (unsigned)delta, expected);
        ++failures;
    }
    nubix_real_client = NULL;
}
#else
static int __stdcall TakesOne(int a) { return a; }
typedef int(__stdcall* TakesTwo)(int, int);

/* The check must see a callee that removes fewer bytes than were pushed: here the
 * caller pushes 8 and the callee removes 4. */
static void CheckTheCheck(void) {
    TakesTwo wrong = (TakesTwo)(void (*)(void))TakesOne;
    intptr_t delta = 0;
    NUBIX_ESP_DELTA(delta, wrong(1, 2));
    if (delta != -4) {
        printf("FAIL: a callee removing 4 of 8 argument bytes moved ESP by %d, not -4\n",
               (int)delta);
        ++failures;
    }
}
#endif

static int __stdcall OnResult(int channel, unsigned short kind, int tag, void* data, int length) {
    (void)channel;
    (void)kind;
    (void)tag;
    (void)data;
    (void)length;
    printf("FAIL: a callback arrived although the server was never opened\n");
    ++failures;
    return 0;
}

static void CheckBuffers(void) {
    intptr_t delta = 0;
    void* block = NULL;
    NUBIX_ESP_DELTA(delta, block = kesaNewBuffer(20));
    ExpectEspKept(delta, "kesaNewBuffer");
    Expect(block != NULL, "kesaNewBuffer(20) returns a block");
    if (block != NULL) memset(block, 0x5A, 20);
    NUBIX_ESP_DELTA(delta, kesaDelBuffer(block));
    ExpectEspKept(delta, "kesaDelBuffer");

    block = kesaNewBuffer(0);
    Expect(block != NULL, "kesaNewBuffer(0) returns a block");
    kesaDelBuffer(block);
    NUBIX_ESP_DELTA(delta, kesaDelBuffer(NULL));
    ExpectEspKept(delta, "kesaDelBuffer(NULL)");
}

static void CheckSlots(IVSClient* c) {
    intptr_t delta = 0;
    int r = -1;
    HWND window = (HWND)1;

    NUBIX_SLOT_CALL(delta, r = IVSClient_RestartServer(c));
    ExpectConventionKept(delta, "RestartServer");
    Expect(r == 0, "RestartServer returns 0");

    NUBIX_SLOT_CALL(delta, window = IVSClient_GetNotifyWindow(c));
    ExpectConventionKept(delta, "GetNotifyWindow");
    Expect(window == NULL, "GetNotifyWindow is null before any open");

    /* A null address is refused before anything is started. */
    NUBIX_SLOT_CALL(delta, r = IVSClient_OpenServer(c, NULL, 11, "admin", "secret", 12));
    ExpectConventionKept(delta, "OpenServer");
    Expect(r == 0, "OpenServer with a null address returns 0");
    Expect(IVSClient_GetNotifyWindow(c) == NULL, "OpenServer with a null address makes no window");

    r = -1;
    NUBIX_SLOT_CALL(delta, r = IVSClient_Reserved3(c, 0x33));
    ExpectConventionKept(delta, "Reserved3");
    Expect(r == 0, "Reserved3 returns 0");

    r = -1;
    NUBIX_SLOT_CALL(delta, r = IVSClient_Reserved4(c, 0x44));
    ExpectConventionKept(delta, "Reserved4");
    Expect(r == 0, "Reserved4 returns 0");

    {
        static const char path[] = "C:\\pictures\\ch2.bmp";
        RequestBlock request;
        memset(&request, 0, sizeof request);
        request.totalLength = (int)(8 + sizeof path);
        request.tag = 77;
        memcpy(request.path, path, sizeof path);

        r = -1;
        NUBIX_SLOT_CALL(delta, r = IVSClient_CapturePicture(c, 2, &request));
        ExpectConventionKept(delta, "CapturePicture");
        Expect(r == 0, "CapturePicture before any open returns 0");

        r = -1;
        NUBIX_SLOT_CALL(delta, r = IVSClient_RequestRecordFile(c, 2, &request));
        ExpectConventionKept(delta, "RequestRecordFile");
        Expect(r == 0, "RequestRecordFile before any open returns 0");
    }

    /* Their results mean nothing; only the stack counts. */
    NUBIX_SLOT_CALL(delta, r = IVSClient_Reserved7(c, 0x77));
    ExpectConventionKept(delta, "Reserved7");
    NUBIX_SLOT_CALL(delta, r = IVSClient_Reserved8(c, 0x88));
    ExpectConventionKept(delta, "Reserved8");

    {
        char buffer[20];
        int i, zeroed = 1;
        memset(buffer, 0xAA, sizeof buffer);
        r = -1;
        NUBIX_SLOT_CALL(delta, r = IVSClient_GetServerMac(c, buffer, 18));
        ExpectConventionKept(delta, "GetServerMac");
        Expect(r == 0, "GetServerMac before any open returns 0");
        for (i = 0; i < 18; ++i) zeroed = zeroed && buffer[i] == 0;
        Expect(zeroed, "GetServerMac before any open zeroes the whole buffer");
        Expect((unsigned char)buffer[18] == 0xAA && (unsigned char)buffer[19] == 0xAA,
               "GetServerMac writes nothing past the size it was given");
    }

    r = -1;
    NUBIX_SLOT_CALL(delta, r = IVSClient_Reserved10(c, 1, 2, 3, 4));
    ExpectConventionKept(delta, "Reserved10");
    Expect(r == 0, "Reserved10 returns 0");

    NUBIX_SLOT_CALL(delta, IVSClient_SetCallback(c, OnResult));
    ExpectConventionKept(delta, "SetCallback");
    NUBIX_SLOT_CALL(delta, IVSClient_SetCallback(c, NULL));
    ExpectConventionKept(delta, "SetCallback(NULL)");

    {
        RecordParams params;
        memset(&params, 0x3C, sizeof params);
        NUBIX_SLOT_CALL(delta, IVSClient_SetRecordParam(c, 0, &params));
        ExpectConventionKept(delta, "SetRecordParam");
        NUBIX_SLOT_CALL(delta, IVSClient_SetRecordParam(c, -1, NULL));
        ExpectConventionKept(delta, "SetRecordParam(-1, NULL)");
    }

    r = -1;
    NUBIX_SLOT_CALL(delta, r = IVSClient_CloseServer(c));
    ExpectConventionKept(delta, "CloseServer");
    Expect(r == 0, "CloseServer returns 0");
    Expect(IVSClient_GetNotifyWindow(c) == NULL, "GetNotifyWindow is null after CloseServer");
}

int main(void) {
    intptr_t delta = 0;
    IVSClient* client = NULL;

    CheckTheCheck();
    CheckBuffers();

    NUBIX_ESP_DELTA(delta, client = kesaCreateVSClient());
    ExpectEspKept(delta, "kesaCreateVSClient");
    Expect(client != NULL, "kesaCreateVSClient returns a client");
    if (client != NULL) {
#if defined(_WIN64)
        IVSClient checked;
        checked.lpVtbl = &nubix_checked_vtbl;
        nubix_real_client = client;
        CheckSlots(&checked);
        nubix_real_client = NULL;
#else
        CheckSlots(client);
#endif
        NUBIX_ESP_DELTA(delta, kesaReleaseVSClient(client));
        ExpectEspKept(delta, "kesaReleaseVSClient");
    }
    NUBIX_ESP_DELTA(delta, kesaReleaseVSClient(NULL));
    ExpectEspKept(delta, "kesaReleaseVSClient(NULL)");

    if (failures != 0) {
        printf("%d check(s) failed\n", failures);
        return 1;
    }
#if defined(_WIN64)
    printf("all C-view calls kept RSP and the callee-saved registers and returned what they should\n");
#else
    printf("all C-view calls kept ESP and returned what they should\n");
#endif
    return 0;
}
