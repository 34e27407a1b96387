#pragma once
// Environment variables set for one scope; the old values come back at its end.
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "tests/common/env.h"

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) SetEnv(name.c_str(), value.value_or(""));
    }
    // An empty value removes the variable.
    void Set(const char* name, const std::string& value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        SetEnv(name, value);
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};
