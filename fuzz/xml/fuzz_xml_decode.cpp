// XmlDecode over any bytes: no crash or undefined behaviour; decoding never lengthens the text, and
// decoding the escaped form of a text gives the text back (up to its first NUL byte).
#include <cstdint>
#include <cstdlib>

#include "xml/Parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    AnsiString decoded = XmlDecode(input);
    if (decoded.size() > input.size()) std::abort();
    AnsiString plain(input.substr(0, input.find('\0')));
    if (XmlDecode(XmlEncode(input)) != plain) std::abort();
    return 0;
}
