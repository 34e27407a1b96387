#pragma once
// A registry that only the running test sees: on Linux a .reg file of its own (UNINSTALL_REGISTRY), on
// Windows HKEY_CURRENT_USER redirected to a scratch key, so parallel tests in one Wine prefix never meet
// the product's key.
#include <stdexcept>
#include <string>

#include "tests/common/env.h"
#include "tests/common/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

class ScratchRegistry {
public:
    ScratchRegistry() {
#ifdef _WIN32
        scratch_ = "Software\\UfTests\\" + std::to_string(GetCurrentProcessId());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS)
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
#else
        SetEnv("UNINSTALL_REGISTRY", (folder_.Path() / "registry.reg").string());
#endif
    }
    ~ScratchRegistry() {
#ifdef _WIN32
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\UfTests");  // only when no other run holds it
#else
        SetEnv("UNINSTALL_REGISTRY", "");
#endif
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
#ifdef _WIN32
    std::string scratch_;
    HKEY root_ = nullptr;
#else
    TempDir folder_;
#endif
};
