#pragma once
// 8-bit text in the system ANSI code page (AnsiString) and UTF-16 (WideString), and the one place where
// the program converts between them. Windows uses the system's code page; on Linux the code page follows
// the locale (LC_ALL, LC_CTYPE, LANG): Cyrillic languages Windows-1251, all others Windows-1252.
#include <string>
#include <string_view>

using AnsiString = std::string;
using WideString = std::u16string;

namespace platform {

// The ANSI code page in use (1251, 1252, ...).
unsigned AnsiCodePage();

// Every byte converts; a byte without a character in the code page keeps its value as a code point,
// as Windows does for the unassigned bytes of 1252.
WideString AnsiToWide(std::string_view text);

// A character without a byte in the code page becomes "?", as Windows' default character.
AnsiString WideToAnsi(std::u16string_view text);

// UTF-8 for the terminal and for tests; invalid UTF-8 sequences become U+FFFD.
std::string WideToUtf8(std::u16string_view text);
WideString Utf8ToWide(std::string_view text);
std::string AnsiToUtf8(std::string_view text);
AnsiString Utf8ToAnsi(std::string_view text);

// Letter case by the code page's letters (Latin, Cyrillic, Greek), not only ASCII.
WideString WideUpperCase(std::u16string_view text);
AnsiString AnsiUpperCase(std::string_view text);
// Equality without regard to letter case, by the code page's letters.
bool AnsiSameText(std::string_view a, std::string_view b);

// ASCII letters only: what the protocols and the file formats fold.
AnsiString AsciiUpperCase(std::string_view text);
bool AsciiSameText(std::string_view a, std::string_view b);

}  // namespace platform
