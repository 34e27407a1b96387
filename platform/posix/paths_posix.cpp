#include "platform/paths.h"

#include <cstdlib>

namespace platform {
namespace {

AnsiString XdgDir(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    // The XDG rules ignore relative values.
    if (value && value[0] == '/') return Utf8ToAnsi(value);
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return Utf8ToAnsi(std::string(home) + "/" + fallbackBelowHome);
}

}  // namespace

AnsiString UserConfigDir() { return XdgDir("XDG_CONFIG_HOME", ".config"); }
AnsiString UserStateDir() { return XdgDir("XDG_STATE_HOME", ".local/state"); }

AnsiString GetEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? Utf8ToAnsi(value) : AnsiString();
}

}  // namespace platform
