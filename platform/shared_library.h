#pragma once
// Libraries loaded at run time (the TLS library), and where Windows may look for them.
#include <string>
#include <vector>

namespace platform {

// nullptr when not there. On Windows only the program's own folder and the system folder are searched,
// never the current folder or PATH: an uninstaller often runs from a temporary folder where anyone may
// have left a DLL of the same name.
void* LoadSharedLibrary(const char* name);
void* SharedLibrarySymbol(void* library, const char* name);
void FreeSharedLibrary(void* library);

// Called first thing at program start: takes the current folder and PATH out of every later library
// search of the process (SetDefaultDllDirectories where the system has it). Nothing to do elsewhere.
void RestrictLibrarySearch();

// The certificates (DER) of the system's trusted roots, for a TLS library without a store of its own:
// true with the "ROOT" store's certificates on Windows. False where the TLS library's own default
// locations are the system's store (OpenSSL on Linux).
bool SystemRootCertificates(std::vector<std::string>& certificates);

}  // namespace platform
