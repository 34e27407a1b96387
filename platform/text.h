#pragma once
// The small text routines every layer needs, written once: trimming, decimal numbers, line splitting and
// replacing. ASCII letter case lives in codepage.h.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Without the blanks and control characters (code 32 and lower) at both ends.
std::string_view TrimControl(std::string_view text);
// Without the spaces and tabs at both ends; other control characters stay (the .reg file's and the
// console's notion of a blank).
std::string_view TrimSpaceTab(std::string_view text);

// Decimal digits only (no sign, no blanks), at least one, and no more than max; false otherwise.
bool ParseDigits(std::string_view text, std::uint64_t max, std::uint64_t& value);
// An optional "+" or "-" and decimal digits, nothing else, within [min, max] (min <= 0 <= max); false
// otherwise, and value stays unchanged.
bool ParseDecimal(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& value);
bool ParseInt32(std::string_view text, std::int32_t& value);

// The lines of text, split at CR LF, lone CR and lone LF; a line end at the very end makes no empty last
// line. The views point into text.
std::vector<std::string_view> SplitLines(std::string_view text);

// Every occurrence of from (not empty) replaced by to, left to right, without rescanning what was put in.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace platform
