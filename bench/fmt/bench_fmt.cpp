// Whole processes: `xmlini fmt` of a settings-like file against small pugixml and tinyxml2 programs that
// load the same file and write it to standard output. Each program runs several times; the median wall
// time counts, and the ratios say how many times as fast xmlini is (above 1: faster).
//   bench_fmt [SIZE_MB [RUNS [XMLINI]]]     default: 10 MB, 5 runs, the xmlini built beside it
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/xml/settings_document.h"

extern char** environ;

namespace {

// Runs argv with standard output to outPath; the wall time in milliseconds, or -1 when it failed.
double RunOnce(const std::vector<std::string>& argv, const std::string& outPath) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::filesystem::path here = std::filesystem::canonical("/proc/self/exe").parent_path();
    std::string xmlini = argc > 3 ? argv[3] : (here / "xmlini").string();

    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench_fmt." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string input = (dir / "settings.xml").string(), output = (dir / "out.xml").string();
    size_t elements = 0;
    std::ofstream(input, std::ios::binary) << MakeSettingsDocument(megabytes * 1024 * 1024, elements);

    struct Program {
        const char* name;
        std::vector<std::string> argv;
        double ms = 0;
    };
    std::vector<Program> programs = {
        {"xmlini fmt", {xmlini, "fmt", input}},
        {"pugixml", {(here / "pugixml_fmt").string(), input}},
        {"tinyxml2", {(here / "tinyxml2_fmt").string(), input}},
    };
    bool failed = false;
    std::vector<std::vector<double>> times(programs.size());
    // Rounds in turn, so that a busy moment of the machine falls on every program alike.
    for (int round = 0; round <= runs && !failed; ++round) {
        for (size_t i = 0; i < programs.size(); ++i) {
            double ms = RunOnce(programs[i].argv, output);
            if (ms < 0) {
                std::fprintf(stderr, "bench_fmt: %s failed\n", programs[i].argv[0].c_str());
                failed = true;
                break;
            }
            if (round > 0) times[i].push_back(ms);  // round 0 warms the page cache
        }
    }
    std::filesystem::remove_all(dir);
    if (failed) return 1;

    std::printf("load + save of a %zu MB settings file as a whole process, median of %d runs\n", megabytes, runs);
    for (size_t i = 0; i < programs.size(); ++i) {
        programs[i].ms = Median(times[i]);
        std::printf("%-12s %8.1f ms\n", programs[i].name, programs[i].ms);
    }
    double vsPugi = programs[1].ms / programs[0].ms, vsTiny = programs[2].ms / programs[0].ms;
    std::printf("ratios of xmlini fmt to: pugixml %.2f, tinyxml2 %.2f (speed, above 1 is faster)\n", vsPugi, vsTiny);
    bool met = vsPugi >= 0.8 && vsTiny >= 1.5;
    std::printf("goals: >= 0.8 x pugixml %s, >= 1.5 x tinyxml2 %s\n", vsPugi >= 0.8 ? "met" : "MISSED",
                vsTiny >= 1.5 ? "met" : "MISSED");
    return met ? 0 : 1;
}
