// pugixml_fmt FILE: loads FILE with pugixml and writes it to standard output, the peer of `xmlini fmt`.
#include <cstdio>

#include <pugixml.hpp>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pugixml_fmt FILE\n");
        return 2;
    }
    pugi::xml_document doc;
    if (!doc.load_file(argv[1])) return 1;
    pugi::xml_writer_file out(stdout);
    doc.save(out);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
