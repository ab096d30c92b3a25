// file_holder.exe PATH READY RELEASE: opens PATH (creating it when missing) for
// reading and writing with no sharing at all, sets the named event READY, and keeps
// the file so until the named event RELEASE is set (at most a minute). Exit code 0
// when it held the file, 1 when it could not open it.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || release == nullptr) return 2;
    SetEvent(ready);
    if (file == INVALID_HANDLE_VALUE) return 1;
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
}
