#pragma once
// Libraries loaded at run time, and where Windows may look for them: the TLS library, and the system
// libraries that only some paths need (sockets, the shell, OLE error records, version resources), which
// are loaded at their first use rather than with the program so that the dialog's window does not wait
// for them.
#include <string>
#include <vector>

namespace platform {

// nullptr when not there. On Windows only the program's own folder and the system folder are searched,
// never the current folder or PATH: an uninstaller often runs from a temporary folder where anyone may
// have left a DLL of the same name.
void* LoadSharedLibrary(const char* name);

// A library of the system itself ("shell32.dll"): on Windows from the system folder only, not even the
// program's own folder. It stays loaded for the process's lifetime, like an import. nullptr when missing.
void* LoadSystemLibrary(const char* name);

void* SharedLibrarySymbol(void* library, const char* name);
void FreeSharedLibrary(void* library);

// SharedLibrarySymbol typed as the declaration it stands for: LibraryFunction<decltype(&f)>(library, "f").
template <class Function>
Function LibraryFunction(void* library, const char* name) {
    return reinterpret_cast<Function>(SharedLibrarySymbol(library, name));
}

// The function NAME of the system library LIBRARY, which is loaded at the first call; null when the
// library or the function is missing: SystemFunction<decltype(&ShellExecuteA)>("shell32.dll", "ShellExecuteA").
template <class Function>
Function SystemFunction(const char* library, const char* name) {
    return LibraryFunction<Function>(LoadSystemLibrary(library), name);
}

[[noreturn]] void ExitForMissingFunction(const char* library, const char* name);

// SystemFunction for a function every supported system has: its absence ends the program with a message
// naming it, as a missing import would have kept the program from starting.
template <class Function>
Function RequiredSystemFunction(const char* library, const char* name) {
    Function function = SystemFunction<Function>(library, name);
    if (!function) ExitForMissingFunction(library, name);
    return function;
}

// Called first thing at program start: takes the current folder and PATH out of every later library
// search of the process (SetDefaultDllDirectories where the system has it). Nothing to do elsewhere.
void RestrictLibrarySearch();

// The certificates (DER) of the system's trusted roots, for a TLS library without a store of its own:
// true with the "ROOT" store's certificates on Windows. False where the TLS library's own default
// locations are the system's store (OpenSSL on Linux).
bool SystemRootCertificates(std::vector<std::string>& certificates);

}  // namespace platform
