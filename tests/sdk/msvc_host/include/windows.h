/*
 * The few Win32 declarations the MSVC-ABI host uses, in place of the Windows SDK's
 * windows.h, which is not available here. Same names, types and calling convention
 * as the SDK, so the host's source would build unchanged against the real header.
 */
#ifndef NUBIX_MSVC_HOST_WINDOWS_H
#define NUBIX_MSVC_HOST_WINDOWS_H

#ifdef __cplusplus
extern "C" {
#endif

#define WINAPI __stdcall
#define NUBIX_IMPORT __declspec(dllimport)

typedef int BOOL;
typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef long LONG;
#if defined(_WIN64)
typedef unsigned long long WPARAM;
typedef long long LPARAM;
typedef long long LRESULT;
#else
typedef unsigned int WPARAM;
typedef long LPARAM;
typedef long LRESULT;
#endif
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define PM_REMOVE 0x0001
#define QS_ALLINPUT 0x04FF
#define MAX_PATH 260

/* kernel32 */
NUBIX_IMPORT HANDLE WINAPI GetStdHandle(DWORD which);
NUBIX_IMPORT BOOL WINAPI WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, void* overlapped);
NUBIX_IMPORT void WINAPI ExitProcess(UINT code);
NUBIX_IMPORT DWORD WINAPI GetModuleFileNameA(HMODULE module, char* path, DWORD size);
NUBIX_IMPORT DWORD WINAPI GetFileAttributesA(const char* path);
NUBIX_IMPORT BOOL WINAPI DeleteFileA(const char* path);
NUBIX_IMPORT DWORD WINAPI GetTickCount(void);

/* user32 */
NUBIX_IMPORT BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
NUBIX_IMPORT BOOL WINAPI TranslateMessage(const MSG* msg);
NUBIX_IMPORT LRESULT WINAPI DispatchMessageA(const MSG* msg);
NUBIX_IMPORT DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD ms,
                                                    DWORD wake);
NUBIX_IMPORT BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
NUBIX_IMPORT BOOL WINAPI IsWindow(HWND window);

#ifdef __cplusplus
}
#endif

#endif
