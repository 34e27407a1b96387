#include "platform/shared_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

void* LoadSharedLibrary(const char* name) { return ::dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void* LoadSystemLibrary(const char* name) { return LoadSharedLibrary(name); }

void* SharedLibrarySymbol(void* library, const char* name) { return library ? ::dlsym(library, name) : nullptr; }

void FreeSharedLibrary(void* library) {
    if (library) ::dlclose(library);
}

void ExitForMissingFunction(const char* library, const char* name) {
    std::fprintf(stderr, "The system library %s or its function %s is missing.\n", library, name);
    std::exit(1);
}

void RestrictLibrarySearch() {}

bool SystemRootCertificates(std::vector<std::string>& certificates) {
    certificates.clear();
    return false;
}

}  // namespace platform
