// The Linux registry file with one large binary value: its hex data runs over many continuation lines,
// as regedit writes it. Every operation reads (and a write rewrites) the whole file, so an operation
// costs at least reading and atomically rewriting the file's bytes: that floor is printed beside it.
//   bench_registry [MB of file, default 6] [operations, default 5]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/files.h"
#include "platform/registry.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Operation>
double SecondsPerOperation(int count, Operation operation) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) operation(i);
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

void Check(long rc, const char* what) {
    if (rc == platform::kRegSuccess) return;
    std::fprintf(stderr, "%s: %s\n", what, platform::RegistryErrorText(rc).c_str());
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 6;
    const int operations = argc > 2 ? std::atoi(argv[2]) : 5;
    const auto folder = std::filesystem::temp_directory_path() / ("uf_bench_registry_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "registry.reg").string();
    setenv("UNINSTALL_REGISTRY", file.c_str(), 1);

    // "xx," per byte: a third of the file's size in bytes of data.
    platform::RegistryKey key;
    Check(key.Open("Software\\Bench", true), "create the key");
    Check(key.WriteBinary("Blob", std::vector<uint8_t>(size_t(megabytes * 1024 * 1024 / 3), 0xA5)), "write the blob");
    const double size = double(std::filesystem::file_size(file)) / (1024 * 1024);

    const double read = SecondsPerOperation(operations, [&](int) {
        uint32_t number = 0;
        platform::RegistryKey k;
        Check(k.Open("Software\\Bench", false), "open");
        if (k.ReadDword("Missing", number) != platform::kRegNotFound) std::exit(1);
    });
    const double write = SecondsPerOperation(operations, [&](int i) { Check(key.WriteDword("N", uint32_t(i)), "write"); });
    const double floor = SecondsPerOperation(operations, [&](int) {
        platform::WriteFileAtomically(file, platform::ReadWholeFile(file));
    });

    std::printf("registry file %.1f MB, one binary value over %zu lines\n", size,
                size_t(size * 1024 * 1024 / 80));
    std::printf("open and read a value: %8.4f s per operation, %6.1f x the file's read and rewrite\n", read,
                read / floor);
    std::printf("write a value:         %8.4f s per operation, %6.1f x the file's read and rewrite\n", write,
                write / floor);
    std::filesystem::remove_all(folder);
    return 0;
}
