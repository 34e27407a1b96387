#pragma once
// The document the XML benchmarks load and save.
#include <string>

// A settings store as the XML-INI store keeps it: keys with named values, some nesting, text, a few
// entities and non-ASCII bytes.
inline std::string MakeSettingsDocument(size_t bytes, size_t& elements) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<!-- created by Velmora XML package -->\r\n  <Settings>\r\n";
    elements = 1;
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (size_t key = 0; doc.size() < bytes; ++key) {
        doc += "    <Key Name=\"Section" + std::to_string(key) + "\" Kind=\"" + std::to_string(next() % 7) + "\" >\r\n";
        ++elements;
        size_t values = 3 + next() % 8;
        for (size_t v = 0; v < values; ++v) {
            doc += "      <Value Name=\"Item" + std::to_string(v) + "\" Data=\"";
            switch (next() % 4) {
            case 0: doc += std::to_string(next()); break;
            case 1: doc += "C:\\Program Files\\Velmora\\plug" + std::to_string(v) + ".dll"; break;
            case 2: doc += "a &lt; b &amp; &quot;quoted&quot;"; break;
            default: doc += "\xC0\xE1\xE2 caf\xE9 text"; break;
            }
            doc += "\" />\r\n";
            ++elements;
        }
        if (key % 5 == 0) {
            doc += "      <Note>Free text of the key &amp; more</Note>\r\n";
            ++elements;
        }
        doc += "    </Key>\r\n";
    }
    doc += "  </Settings>\r\n";
    return doc;
}
