// A "language library" that also carries code: it has the signature, and its
// start-up code leaves a file named by QDX_PAYLOAD_MARK. The program loads
// language libraries as data, so the file must never appear.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    wchar_t mark[MAX_PATH];
    if (reason == DLL_PROCESS_ATTACH && ::GetEnvironmentVariableW(L"QDX_PAYLOAD_MARK", mark, MAX_PATH) > 0) {
        HANDLE file = ::CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    }
    return TRUE;
}
