// Windows only: the TLS libraries are looked for in the program's folder and the system folder, never in
// the current folder or on PATH, where an uninstaller's temporary folder may hold a planted DLL.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "net/BlockSocket.h"
#include "platform/shared_library.h"

namespace fs = std::filesystem;

namespace {

fs::path ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(std::string(path, length)).parent_path();
}

bool ProbeLoaded() {
    char value[16];
    return ::GetEnvironmentVariableA("UF_PLANTED_PROBE", value, sizeof value) > 0;
}

// The probe under the names of the TLS libraries in a folder; removed again on destruction.
struct Planted {
    fs::path folder;
    explicit Planted(fs::path where) : folder(std::move(where)) {
        fs::create_directories(folder);
        for (const char* name : {"libssl32.dll", "libeay32.dll"})
            fs::copy_file(ProgramFolder() / "uf_planted_probe.dll", folder / name, fs::copy_options::overwrite_existing);
    }
    ~Planted() {
        std::error_code ignored;
        for (const char* name : {"libssl32.dll", "libeay32.dll"}) fs::remove(folder / name, ignored);
    }
};

TEST(LibrarySearch, TlsLibraryOnlyFromProgramOrSystemFolder) {
    const fs::path temp = fs::temp_directory_path() / ("uf-planted-" + std::to_string(::GetCurrentProcessId()));
    const fs::path onPath = temp / "on-path";
    struct Case {
        const char* name;
        fs::path folder;
        bool loaded;
    };
    const Case cases[] = {{"current folder", temp, false}, {"PATH", onPath, false}, {"program folder", ProgramFolder(), true}};
    char oldPath[32768];
    DWORD oldPathLength = ::GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    fs::create_directories(onPath);
    ::SetEnvironmentVariableA("PATH", (onPath.string() + ";" + std::string(oldPath, oldPathLength)).c_str());
    fs::path oldCurrent = fs::current_path();
    fs::current_path(temp);
    for (const Case& t : cases) {
        ::SetEnvironmentVariableA("UF_PLANTED_PROBE", nullptr);
        {
            Planted planted(t.folder);
            TTcpSocket socket;
            socket.SetTlsEnabled(true);
            EXPECT_EQ(socket.ErrorCode, 10043) << t.name;  // the probe is no TLS library
        }
        EXPECT_EQ(ProbeLoaded(), t.loaded) << t.name;
    }
    // After the start-up call, no plain load looks in the current folder either.
    platform::RestrictLibrarySearch();
    ::SetEnvironmentVariableA("UF_PLANTED_PROBE", nullptr);
    {
        Planted planted(temp);
        HMODULE module = ::LoadLibraryA("libssl32.dll");
        EXPECT_EQ(module, nullptr);
        if (module) ::FreeLibrary(module);
    }
    EXPECT_FALSE(ProbeLoaded());
    fs::current_path(oldCurrent);
    ::SetEnvironmentVariableA("PATH", std::string(oldPath, oldPathLength).c_str());
    std::error_code ignored;
    fs::remove_all(temp, ignored);
}

}  // namespace
#endif
