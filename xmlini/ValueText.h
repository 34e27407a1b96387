#pragma once
// The text forms of the store's typed values, shared by the node interface and the store.
#include <string_view>
#include <vector>

#include "platform/codepage.h"

// Left, Top, Right, Bottom as four signed 32-bit integers.
struct TIniRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TIniRect&, const TIniRect&) = default;
};
struct TIniPoint {
    int X = 0, Y = 0;
    friend bool operator==(const TIniPoint&, const TIniPoint&) = default;
};

// A 32-bit integer when text is an optional "-" or "+" followed by decimal digits within range; anything
// else (blanks, hexadecimal forms, overflow, an empty text) is no number and gives false.
bool TryParseInt32(std::string_view text, int& value);
// The number, or def when text is none.
int ParseInt32(std::string_view text, int def);

// True for exactly "1" and for "true" in any letter case of A to Z.
bool ParseBool(std::string_view text);
inline const char* FormatBool(bool value) { return value ? "True" : "False"; }

AnsiString FormatRect(const TIniRect& rect);    // "[L,T,R,B]"
AnsiString FormatPoint(const TIniPoint& point);  // "[X,Y]"
// Reads "[L,T,R,B]" leniently: one pair of enclosing brackets of any kind goes; a field is taken only when
// a "," follows it (Bottom excepted); each piece is trimmed of blanks and control characters and cut to
// 10 characters before conversion (so a field below -999999999 does not read back); whatever is missing
// or no number comes from def.
TIniRect ParseRect(std::string_view text, const TIniRect& def);
// X is the first word of the text split at "," and "[", Y the second word of it split at "," and "]";
// missing words and words that are no number come from def.
TIniPoint ParsePoint(std::string_view text, const TIniPoint& def);

