#pragma once
// Sets an environment variable for the running test; an empty value removes it.
#include <cstdlib>
#include <string>

inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}
