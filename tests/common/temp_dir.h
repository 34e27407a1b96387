#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end of scope.
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define UF_TEST_PID _getpid()
#else
#include <unistd.h>
#define UF_TEST_PID getpid()
#endif

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("uf-test-" + std::to_string(UF_TEST_PID) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // How many files and folders it holds: temporary files left behind show here.
    std::size_t Entries() const {
        using It = std::filesystem::directory_iterator;
        return static_cast<std::size_t>(std::distance(It(path_), It()));
    }

private:
    std::filesystem::path path_;
};
