/*
 * NubixVSClient: client interface to a networked video server.
 *
 * Public header for host programs, usable from C++ and from C, with MSVC or MinGW,
 * for 32-bit (x86) and 64-bit (x64) hosts: each links the DLL of its own bitness. Both
 * DLLs drive the same viewer, which may be of either bitness (see docs/host-guide.md).
 *
 *   C++:  IVSClient* c = kesaCreateVSClient();
 *         c->SetCallback(MyCallback);
 *         c->OpenServer("192.168.1.20", 0, "admin", "secret", 0);
 *         ... run a message loop on this thread ...
 *         c->CloseServer();
 *         kesaReleaseVSClient(c);
 *
 *   C:    IVSClient* c = kesaCreateVSClient();
 *         IVSClient_SetCallback(c, MyCallback);
 *         IVSClient_OpenServer(c, "192.168.1.20", 0, "admin", "secret", 0);
 *
 * The thread that calls OpenServer owns the notification window: it must dispatch
 * messages, it receives every callback, and it is the thread that calls CloseServer.
 */
#ifndef NUBIX_VS_CLIENT_H
#define NUBIX_VS_CLIENT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result kinds passed to the callback. */
#define KIND_PICTURE_FILE 0 /* data: NUL-terminated picture path, length: its bytes */
#define KIND_RECORD_FILE 1  /* data: NUL-terminated record-file path, length: its bytes */
#define KIND_STATUS 3       /* data: a StatusBlock, length: 8 */

/* StatusBlock.operation values. */
#define STATUS_OP_PICTURE 0
#define STATUS_OP_RECORD_FILE 1
#define STATUS_OP_RESTART 3

/* Messages a host may post to the window returned by GetNotifyWindow. */
#define MSG_RESTART_SERVER 2027   /* wParam: unused, lParam: tag echoed in the status report */
#define MSG_SET_RECORD_PARAM 2030 /* wParam: 20, lParam: RecordParamBlock from kesaNewBuffer */

/* Messages the library and the viewer exchange; listed for completeness. */
#define MSG_OPEN_RESULT 2033
#define MSG_PICTURE_RESULT 2036
#define MSG_RECORD_FILE_RESULT 2037

/*
 * Host-built request for CapturePicture and RequestRecordFile. The path text runs
 * from offset 8 to its first NUL or to totalLength, whichever comes first.
 * Limits: 8 <= totalLength <= 776; the path at most 256 characters; the part after
 * its last backslash at most 63 characters. Requests outside them are refused.
 */
typedef struct RequestBlock {
    int totalLength; /* whole block in bytes, these 8 header bytes included */
    int tag;         /* echoed as the tag of every callback about this request */
    char path[768];  /* declared at its largest; a host may allocate less */
} RequestBlock;

/* Data of a KIND_STATUS callback. */
typedef struct StatusBlock {
    unsigned short operation; /* STATUS_OP_* */
    unsigned short reserved;  /* zero */
    int outcome;              /* 0 success, -1 failure */
} StatusBlock;

/* 12 opaque recording-parameter bytes of one channel. */
typedef struct RecordParams {
    unsigned char bytes[12];
} RecordParams;

/* Block posted with MSG_SET_RECORD_PARAM; allocate it with kesaNewBuffer(20). */
typedef struct RecordParamBlock {
    int channel;
    int unused;
    RecordParams params;
} RecordParamBlock;

/*
 * Result callback, __stdcall on x86 (the callee removes its arguments; on x64 there is
 * one calling convention and the keyword means nothing). kind is a 16-bit value, passed widened to 32 bits
 * with zeros. data lives only for the duration of the call. The return value is
 * ignored.
 */
typedef int(__stdcall* ResultCallback)(int channel, unsigned short kind, int tag, void* data,
                                       int length);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus) && !defined(NUBIX_VS_CLIENT_C_VIEW)

/* The client: fourteen operations in this slot order; the member-function convention
 * (on x86, __thiscall: the callee removes its arguments). */
class IVSClient {
public:
    virtual int RestartServer() = 0;                                         /* 0: returns 0 */
    virtual int OpenServer(const char* address, int reserved1, const char* user,
                           const char* password, int reserved2) = 0;         /* 1: 1 when open */
    virtual int CloseServer() = 0;                                           /* 2: returns 0 */
    virtual int Reserved3(int) = 0;                                          /* 3: returns 0 */
    virtual int Reserved4(int) = 0;                                          /* 4: returns 0 */
    virtual int CapturePicture(int channel, const RequestBlock* request) = 0;    /* 5 */
    virtual int RequestRecordFile(int channel, const RequestBlock* request) = 0; /* 6 */
    virtual int Reserved7(int) = 0;                                          /* 7: returns 0 */
    virtual int Reserved8(int) = 0;                                          /* 8: returns 0 */
    virtual int GetServerMac(char* buffer, int size) = 0;                    /* 9: 1 when found */
    virtual int Reserved10(int, int, int, int) = 0;                          /* 10: returns 0 */
    virtual void SetCallback(ResultCallback callback) = 0;                   /* 11 */
    virtual HWND GetNotifyWindow() = 0;                                      /* 12 */
    virtual void SetRecordParam(int channel, const RecordParams* params) = 0; /* 13 */
};

#else

/*
 * C view of the same object; the IVSClient_* macros below read the same on both
 * bitnesses, so one C source builds for either.
 *
 * On x86 the operations use the member-function convention (object in ECX,
 * arguments on the stack, removed by the callee), which C reaches as __fastcall with
 * an unused second register argument (EDX). On x64 there is one calling convention:
 * the object is simply the first argument.
 */
typedef struct IVSClient IVSClient;
#if defined(_WIN64)
#define NUBIX_SLOT(name) (*name)
#define NUBIX_SELF IVSClient* self
#define NUBIX_PASS_SELF(p) (p)
#else
#define NUBIX_SLOT(name) (__fastcall * name)
#define NUBIX_SELF IVSClient* self, int edx
#define NUBIX_PASS_SELF(p) (p), 0
#endif
typedef struct IVSClientVtbl {
    int NUBIX_SLOT(RestartServer)(NUBIX_SELF);
    int NUBIX_SLOT(OpenServer)(NUBIX_SELF, const char* address, int reserved1, const char* user,
                               const char* password, int reserved2);
    int NUBIX_SLOT(CloseServer)(NUBIX_SELF);
    int NUBIX_SLOT(Reserved3)(NUBIX_SELF, int a);
    int NUBIX_SLOT(Reserved4)(NUBIX_SELF, int a);
    int NUBIX_SLOT(CapturePicture)(NUBIX_SELF, int channel, const RequestBlock* request);
    int NUBIX_SLOT(RequestRecordFile)(NUBIX_SELF, int channel, const RequestBlock* request);
    int NUBIX_SLOT(Reserved7)(NUBIX_SELF, int a);
    int NUBIX_SLOT(Reserved8)(NUBIX_SELF, int a);
    int NUBIX_SLOT(GetServerMac)(NUBIX_SELF, char* buffer, int size);
    int NUBIX_SLOT(Reserved10)(NUBIX_SELF, int a, int b, int c, int d);
    void NUBIX_SLOT(SetCallback)(NUBIX_SELF, ResultCallback callback);
    HWND NUBIX_SLOT(GetNotifyWindow)(NUBIX_SELF);
    void NUBIX_SLOT(SetRecordParam)(NUBIX_SELF, int channel, const RecordParams* params);
} IVSClientVtbl;
struct IVSClient {
    const IVSClientVtbl* lpVtbl;
};

#define IVSClient_RestartServer(p) ((p)->lpVtbl->RestartServer(NUBIX_PASS_SELF(p)))
#define IVSClient_OpenServer(p, addr, r1, user, pw, r2) \
    ((p)->lpVtbl->OpenServer(NUBIX_PASS_SELF(p), (addr), (r1), (user), (pw), (r2)))
#define IVSClient_CloseServer(p) ((p)->lpVtbl->CloseServer(NUBIX_PASS_SELF(p)))
#define IVSClient_Reserved3(p, a) ((p)->lpVtbl->Reserved3(NUBIX_PASS_SELF(p), (a)))
#define IVSClient_Reserved4(p, a) ((p)->lpVtbl->Reserved4(NUBIX_PASS_SELF(p), (a)))
#define IVSClient_CapturePicture(p, ch, req) \
    ((p)->lpVtbl->CapturePicture(NUBIX_PASS_SELF(p), (ch), (req)))
#define IVSClient_RequestRecordFile(p, ch, req) \
    ((p)->lpVtbl->RequestRecordFile(NUBIX_PASS_SELF(p), (ch), (req)))
#define IVSClient_Reserved7(p, a) ((p)->lpVtbl->Reserved7(NUBIX_PASS_SELF(p), (a)))
#define IVSClient_Reserved8(p, a) ((p)->lpVtbl->Reserved8(NUBIX_PASS_SELF(p), (a)))
#define IVSClient_GetServerMac(p, buf, size) \
    ((p)->lpVtbl->GetServerMac(NUBIX_PASS_SELF(p), (buf), (size)))
#define IVSClient_Reserved10(p, a, b, c, d) \
    ((p)->lpVtbl->Reserved10(NUBIX_PASS_SELF(p), (a), (b), (c), (d)))
#define IVSClient_SetCallback(p, cb) ((p)->lpVtbl->SetCallback(NUBIX_PASS_SELF(p), (cb)))
#define IVSClient_GetNotifyWindow(p) ((p)->lpVtbl->GetNotifyWindow(NUBIX_PASS_SELF(p)))
#define IVSClient_SetRecordParam(p, ch, params) \
    ((p)->lpVtbl->SetRecordParam(NUBIX_PASS_SELF(p), (ch), (params)))

#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Exports: C linkage, C calling convention, undecorated names. */
IVSClient* __cdecl kesaCreateVSClient(void);       /* null when memory cannot be had */
void __cdecl kesaReleaseVSClient(IVSClient* client); /* null is accepted */
void* __cdecl kesaNewBuffer(unsigned int size);    /* size 0 yields a valid block */
void __cdecl kesaDelBuffer(void* block);           /* null is accepted */

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Layout checks, for C11/C++11 compilers. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#ifdef __cplusplus
#define NUBIX_STATIC_ASSERT(e, m) static_assert(e, m)
#else
#define NUBIX_STATIC_ASSERT(e, m) _Static_assert(e, m)
#endif
#include <stddef.h>
NUBIX_STATIC_ASSERT(offsetof(RequestBlock, totalLength) == 0, "RequestBlock.totalLength");
NUBIX_STATIC_ASSERT(offsetof(RequestBlock, tag) == 4, "RequestBlock.tag");
NUBIX_STATIC_ASSERT(offsetof(RequestBlock, path) == 8, "RequestBlock.path");
NUBIX_STATIC_ASSERT(sizeof(RequestBlock) == 776, "RequestBlock size");
NUBIX_STATIC_ASSERT(sizeof(StatusBlock) == 8, "StatusBlock size");
NUBIX_STATIC_ASSERT(offsetof(StatusBlock, reserved) == 2, "StatusBlock.reserved");
NUBIX_STATIC_ASSERT(offsetof(StatusBlock, outcome) == 4, "StatusBlock.outcome");
NUBIX_STATIC_ASSERT(sizeof(RecordParams) == 12, "RecordParams size");
NUBIX_STATIC_ASSERT(sizeof(RecordParamBlock) == 20, "RecordParamBlock size");
NUBIX_STATIC_ASSERT(offsetof(RecordParamBlock, params) == 8, "RecordParamBlock.params");
#if !defined(__cplusplus) || defined(NUBIX_VS_CLIENT_C_VIEW)
NUBIX_STATIC_ASSERT(sizeof(IVSClientVtbl) == 14 * sizeof(void*), "IVSClientVtbl has 14 slots");
NUBIX_STATIC_ASSERT(offsetof(IVSClientVtbl, SetRecordParam) == 13 * sizeof(void*),
                    "SetRecordParam is slot 13");
#endif
#undef NUBIX_STATIC_ASSERT
#endif

#endif /* NUBIX_VS_CLIENT_H */
