#pragma once
// System DLLs that only some paths need (sockets, the shell, COM error records, version resources) are
// loaded at their first use instead of with the program, so that the dialog's window does not wait for
// them. They come from the system folder only, never from the folder the program was started in.
#include <windows.h>

namespace platform {

// The address of NAME in the system DLL MODULE ("shell32.dll"), loading the DLL on the first call; null
// when the DLL or the name is missing.
FARPROC SystemProc(const wchar_t* module, const char* name);

// SystemProc typed as the declaration it stands for: SystemFunction<decltype(&ShellExecuteA)>(...).
template <class Function>
Function SystemFunction(const wchar_t* module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemProc(module, name)));
}

[[noreturn]] void ExitForMissingFunction(const wchar_t* module, const char* name);

// SystemFunction for a function every supported Windows has: its absence ends the program with a message
// naming it, as a missing import would have kept the program from starting.
template <class Function>
Function RequiredSystemFunction(const wchar_t* module, const char* name) {
    Function function = SystemFunction<Function>(module, name);
    if (!function) ExitForMissingFunction(module, name);
    return function;
}

}  // namespace platform
