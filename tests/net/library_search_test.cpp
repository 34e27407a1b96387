// Windows only: the TLS libraries are looked for in the program's folder and the system folder, never in
// the current folder or on PATH, where an uninstaller's temporary folder may hold a planted DLL; system
// libraries only in the system folder.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "net/BlockSocket.h"
#include "platform/shared_library.h"
#include "tests/common/scoped_env.h"
#include "tests/common/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const char* const kTlsNames[] = {"libssl32.dll", "libeay32.dll"};

fs::path ProgramFolder() {
    char path[MAX_PATH];
    return fs::path(std::string(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH))).parent_path();
}

// Whether the probe DLL was loaded since the last call.
bool ProbeLoaded() {
    char value[16];
    const bool loaded = ::GetEnvironmentVariableA("UF_PLANTED_PROBE", value, sizeof value) > 0;
    ::SetEnvironmentVariableA("UF_PLANTED_PROBE", nullptr);
    return loaded;
}

// The probe under the names of the TLS libraries in a folder; removed again on destruction.
struct Planted {
    fs::path folder;
    explicit Planted(fs::path where) : folder(std::move(where)) {
        fs::create_directories(folder);
        for (const char* name : kTlsNames)
            fs::copy_file(ProgramFolder() / "uf_planted_probe.dll", folder / name, fs::copy_options::overwrite_existing);
    }
    ~Planted() {
        std::error_code ignored;
        for (const char* name : kTlsNames) fs::remove(folder / name, ignored);
    }
};

TEST(LibrarySearch, TlsLibraryOnlyFromProgramOrSystemFolder) {
    TempDir temp;
    ScopedEnv env;
    const fs::path onPath = temp.Path() / "on-path";
    env.Set("PATH", onPath.string() + ";" + std::getenv("PATH"));
    const fs::path oldCurrent = fs::current_path();
    fs::current_path(temp.Path());
    ProbeLoaded();
    const std::pair<fs::path, bool> cases[] = {{temp.Path(), false}, {onPath, false}, {ProgramFolder(), true}};
    for (const auto& [folder, loaded] : cases) {
        {
            Planted planted(folder);
            TTcpSocket socket;
            socket.SetTlsEnabled(true);
            EXPECT_EQ(socket.ErrorCode, 10043) << folder;  // the probe is no TLS library
        }
        EXPECT_EQ(ProbeLoaded(), loaded) << folder;
    }
    // After the start-up call, no plain load looks in the current folder either.
    platform::RestrictLibrarySearch();
    {
        Planted planted(temp.Path());
        HMODULE module = ::LoadLibraryA("libssl32.dll");
        EXPECT_EQ(module, nullptr);
        if (module) ::FreeLibrary(module);
    }
    EXPECT_FALSE(ProbeLoaded());
    fs::current_path(oldCurrent);
}

TEST(LibrarySearch, SystemLibraryOnlyFromSystemFolder) {
    // The probe lies in the program's folder under a name the system folder lacks.
    ProbeLoaded();
    EXPECT_EQ(platform::LoadSystemLibrary("uf_planted_probe.dll"), nullptr);
    EXPECT_FALSE(ProbeLoaded());
    void* probe = platform::LoadSharedLibrary("uf_planted_probe.dll");
    EXPECT_NE(probe, nullptr);
    EXPECT_TRUE(ProbeLoaded());
    platform::FreeSharedLibrary(probe);
    EXPECT_NE(platform::SystemFunction<decltype(&::GetTickCount)>("kernel32.dll", "GetTickCount"), nullptr);
    EXPECT_EQ(platform::SystemFunction<decltype(&::GetTickCount)>("kernel32.dll", "NoSuchFunction"), nullptr);
}

}  // namespace
#endif
