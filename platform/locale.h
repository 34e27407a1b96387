#pragma once
// The user's default locale identifier (LCID), as Windows' GetUserDefaultLCID reports it.
#include <cstdint>
#include <string_view>

namespace platform {

// Windows: GetUserDefaultLCID. Linux: the first of LC_ALL, LC_MESSAGES, LANG that is set and not empty,
// mapped by LcidFromLocaleName.
uint32_t UserDefaultLCID();

// Maps a POSIX locale name ("ru_RU.UTF-8", "de_AT@euro", "uk") to a Windows LCID: 1049 for ru_RU,
// 0x0819 for ru_MD, 1033 for en_US, 2057 for en_GB, ... A language without a known territory gets the
// language's primary locale; C, POSIX, empty and unknown names give 1033 (English, United States).
uint32_t LcidFromLocaleName(std::string_view name);

}  // namespace platform
