// tinyxml2_fmt FILE: loads FILE with tinyxml2 and writes it to standard output, the peer of `xmlini fmt`.
#include <cstdio>

#include <tinyxml2.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tinyxml2_fmt FILE\n");
        return 2;
    }
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(argv[1]) != tinyxml2::XML_SUCCESS) return 1;
    tinyxml2::XMLPrinter out(stdout);
    doc.Print(&out);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
