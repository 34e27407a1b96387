#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

void* LoadSharedLibrary(const char* name) { return ::dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void* SharedLibrarySymbol(void* library, const char* name) { return library ? ::dlsym(library, name) : nullptr; }

void FreeSharedLibrary(void* library) {
    if (library) ::dlclose(library);
}

void RestrictLibrarySearch() {}

bool SystemRootCertificates(std::vector<std::string>& certificates) {
    certificates.clear();
    return false;
}

}  // namespace platform
