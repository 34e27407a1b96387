/* A DLL that does nothing but tell that it was loaded: planted under the name of a library the program
   loads, where the program must not look for it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableA("UF_PLANTED_PROBE", "loaded");
    return TRUE;
}
