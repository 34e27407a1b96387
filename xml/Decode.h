#pragma once
// The two halves of XmlDecode, for the reader, which decodes straight into the tree's storage (not part
// of the unit's interface).
#include <string_view>

#include "platform/codepage.h"

namespace xmldecode {

// Decodes text in one pass into out, which has room for text.size() bytes (the result is never longer):
// "&gt;" and "&gt" give ">", "&amp;" "&", "&lt;" "<", "&quot;" a double quote, "&#" decimal digits ";"
// the byte of that number modulo 256. Returns the end of the result, or nullptr when an "&" starts any
// other form: then the whole text takes the fallback below instead.
char* DecodeReferences(std::string_view text, char* out);

// The fallback for a text DecodeReferences gives up on: four replace-all passes over the original text,
// "&quot;", then "&lt;", then "&gt;", then "&amp;".
AnsiString ReplaceNamedReferences(std::string_view text);

}  // namespace xmldecode
