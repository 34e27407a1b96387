#include "platform/shell.h"

#include "platform/clock.h"

#include <cerrno>
#include <cstdio>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace platform {

namespace {

// xdg-open gives up at once, with a non-zero status, when no program takes the link; one still running
// after this long has handed the link on.
constexpr int kOpenerVerdictMs = 1500;
constexpr int kOpenerPollMs = 20;

// The terminal is the last place the user's words can go.
void ShowUnopenedLink(const std::string& utf8) {
    std::fprintf(stderr, "No program could open this link; open it yourself to send your answer:\n%s\n", utf8.c_str());
}

}  // namespace

bool OpenUrl(const AnsiString& url) {
    std::string utf8 = AnsiToUtf8(url);
    char program[] = "xdg-open";
    char* argv[] = {program, utf8.data(), nullptr};

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        ShowUnopenedLink(utf8);
        return false;
    }
    for (int waited = 0; waited < kOpenerVerdictMs; waited += kOpenerPollMs) {
        int status = 0;
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
            ShowUnopenedLink(utf8);
            return false;
        }
        if (ended == -1 && errno != EINTR) return true;
        SleepMs(kOpenerPollMs);
    }
    // xdg-open may stay until the mail program closes; reap it in the background so that the caller
    // goes on and no zombie is left.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace platform
