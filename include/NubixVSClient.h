/*
 * NubixVSClient: client interface to a networked video server.
 *
 * Public header for host programs, usable from C++ and from C, with MSVC or MinGW
 * (32-bit x86 Windows only).
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

#if !defined(_M_IX86) && !defined(__i386__)
#error "NubixVSClient is a 32-bit x86 library"
#endif

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
 * Result callback, __stdcall. kind is a 16-bit value, passed widened to 32 bits
 * with zeros. data lives only for the duration of the call. The return value is
 * ignored.
 */
typedef int(__stdcall* ResultCallback)(int channel, unsigned short kind, int tag, void* data,
                                       int length);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus) && !defined(NUBIX_VS_CLIENT_C_VIEW)

/* The client: fourteen operations in this slot order; member-function convention. */
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
 * C view of the same object. The operations use the member-function convention
 * (object in ECX, arguments on the stack, removed by the callee), which C reaches as
 * __fastcall with an unused second register argument (EDX).
 */
typedef struct IVSClient IVSClient;
typedef struct IVSClientVtbl {
    int(__fastcall* RestartServer)(IVSClient* self, int edx);
    int(__fastcall* OpenServer)(IVSClient* self, int edx, const char* address, int reserved1,
                                const char* user, const char* password, int reserved2);
    int(__fastcall* CloseServer)(IVSClient* self, int edx);
    int(__fastcall* Reserved3)(IVSClient* self, int edx, int a);
    int(__fastcall* Reserved4)(IVSClient* self, int edx, int a);
    int(__fastcall* CapturePicture)(IVSClient* self, int edx, int channel,
                                    const RequestBlock* request);
    int(__fastcall* RequestRecordFile)(IVSClient* self, int edx, int channel,
                                       const RequestBlock* request);
    int(__fastcall* Reserved7)(IVSClient* self, int edx, int a);
    int(__fastcall* Reserved8)(IVSClient* self, int edx, int a);
    int(__fastcall* GetServerMac)(IVSClient* self, int edx, char* buffer, int size);
    int(__fastcall* Reserved10)(IVSClient* self, int edx, int a, int b, int c, int d);
    void(__fastcall* SetCallback)(IVSClient* self, int edx, ResultCallback callback);
    HWND(__fastcall* GetNotifyWindow)(IVSClient* self, int edx);
    void(__fastcall* SetRecordParam)(IVSClient* self, int edx, int channel,
                                     const RecordParams* params);
} IVSClientVtbl;
struct IVSClient {
    const IVSClientVtbl* lpVtbl;
};

#define IVSClient_RestartServer(p) ((p)->lpVtbl->RestartServer((p), 0))
#define IVSClient_OpenServer(p, addr, r1, user, pw, r2) \
    ((p)->lpVtbl->OpenServer((p), 0, (addr), (r1), (user), (pw), (r2)))
#define IVSClient_CloseServer(p) ((p)->lpVtbl->CloseServer((p), 0))
#define IVSClient_Reserved3(p, a) ((p)->lpVtbl->Reserved3((p), 0, (a)))
#define IVSClient_Reserved4(p, a) ((p)->lpVtbl->Reserved4((p), 0, (a)))
#define IVSClient_CapturePicture(p, ch, req) ((p)->lpVtbl->CapturePicture((p), 0, (ch), (req)))
#define IVSClient_RequestRecordFile(p, ch, req) \
    ((p)->lpVtbl->RequestRecordFile((p), 0, (ch), (req)))
#define IVSClient_Reserved7(p, a) ((p)->lpVtbl->Reserved7((p), 0, (a)))
#define IVSClient_Reserved8(p, a) ((p)->lpVtbl->Reserved8((p), 0, (a)))
#define IVSClient_GetServerMac(p, buf, size) ((p)->lpVtbl->GetServerMac((p), 0, (buf), (size)))
#define IVSClient_Reserved10(p, a, b, c, d) ((p)->lpVtbl->Reserved10((p), 0, (a), (b), (c), (d)))
#define IVSClient_SetCallback(p, cb) ((p)->lpVtbl->SetCallback((p), 0, (cb)))
#define IVSClient_GetNotifyWindow(p) ((p)->lpVtbl->GetNotifyWindow((p), 0))
#define IVSClient_SetRecordParam(p, ch, params) ((p)->lpVtbl->SetRecordParam((p), 0, (ch), (params)))

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
#undef NUBIX_STATIC_ASSERT
#endif

#endif /* NUBIX_VS_CLIENT_H */
