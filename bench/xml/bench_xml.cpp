// Load and save throughput (MB/s) and heap bytes per element of the XML unit against pugixml, tinyxml2
// and libxml2, on generated settings-like documents of 1, 10 and 100 MB, with ratios.
//   bench_xml [SIZE_MB...]     default: 1 10 100
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include "bench/xml/settings_document.h"
#include "xml/Parser.h"

namespace {

size_t HeapInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double Seconds(const std::function<void()>& run, int repeats) {
    double best = 1e100;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

struct Result {
    double loadMBs = 0, saveMBs = 0, bytesPerElement = 0;
};

// Each peer: load the text into its tree (kept), save that tree to memory, free the tree.
struct Peer {
    const char* name;
    std::function<void(const std::string&)> load;
    std::function<size_t()> save;  // returns the size written
    std::function<void()> free;
};

Result Measure(Peer& peer, const std::string& doc, size_t elements, int repeats) {
    Result r;
    double mb = double(doc.size()) / (1024 * 1024);
    peer.load(doc);  // warm-up
    peer.free();
    r.loadMBs = mb / Seconds([&] {
        peer.load(doc);
        peer.free();
    }, repeats);
    size_t before = HeapInUse();
    peer.load(doc);
    r.bytesPerElement = double(HeapInUse() - before) / double(elements);
    size_t written = 0;
    r.saveMBs = mb / Seconds([&] { written = peer.save(); }, repeats);
    (void)written;
    peer.free();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    SetXmlTraceEnabled(false);
    // Keep freed memory in the process, so that no library pays for page faults another one caused.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {1, 10, 100};

    TxmlNode* ours = nullptr;
    pugi::xml_document* pugiDoc = nullptr;
    tinyxml2::XMLDocument* tinyDoc = nullptr;
    xmlDocPtr libxmlDoc = nullptr;
    std::vector<Peer> peers = {
        {"uninstall xml",
         [&](const std::string& d) { ours = LoadXmlString(d); },
         [&] { return SaveXmlString(ours).size(); },
         [&] { DestroyNode(ours); ours = nullptr; }},
        {"pugixml",
         [&](const std::string& d) {
             pugiDoc = new pugi::xml_document;
             pugiDoc->load_buffer(d.data(), d.size());
         },
         [&] {
             struct Sink : pugi::xml_writer {
                 std::string out;
                 void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
             } sink;
             pugiDoc->save(sink);
             return sink.out.size();
         },
         [&] { delete pugiDoc; pugiDoc = nullptr; }},
        {"tinyxml2",
         [&](const std::string& d) {
             tinyDoc = new tinyxml2::XMLDocument;
             tinyDoc->Parse(d.data(), d.size());
         },
         [&] {
             tinyxml2::XMLPrinter printer;
             tinyDoc->Print(&printer);
             return size_t(printer.CStrSize());
         },
         [&] { delete tinyDoc; tinyDoc = nullptr; }},
        {"libxml2",
         [&](const std::string& d) {
             libxmlDoc = xmlReadMemory(d.data(), int(d.size()), "bench.xml", nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
         },
         [&] {
             xmlChar* mem = nullptr;
             int size = 0;
             xmlDocDumpMemory(libxmlDoc, &mem, &size);
             xmlFree(mem);
             return size_t(size);
         },
         [&] { xmlFreeDoc(libxmlDoc); libxmlDoc = nullptr; }},
    };

    std::printf("%-8s %-14s %10s %10s %12s\n", "size", "library", "load MB/s", "save MB/s", "bytes/elem");
    bool goalsMet = true;
    for (size_t mb : sizes) {
        size_t elements = 0;
        std::string doc = MakeSettingsDocument(mb * 1024 * 1024, elements);
        int repeats = mb <= 1 ? 15 : mb <= 10 ? 5 : 2;
        std::vector<Result> results;
        for (Peer& peer : peers) {
            results.push_back(Measure(peer, doc, elements, repeats));
            const Result& r = results.back();
            std::printf("%-8s %-14s %10.1f %10.1f %12.1f\n", (std::to_string(mb) + " MB").c_str(), peer.name, r.loadMBs,
                        r.saveMBs, r.bytesPerElement);
        }
        const Result& u = results[0];
        std::printf("%-8s ratios of uninstall xml to: ", "");
        for (size_t i = 1; i < peers.size(); ++i)
            std::printf("%s load %.2f save %.2f mem %.2f;  ", peers[i].name, u.loadMBs / results[i].loadMBs,
                        u.saveMBs / results[i].saveMBs, u.bytesPerElement / results[i].bytesPerElement);
        std::printf("\n");
        bool load = u.loadMBs >= 0.5 * results[1].loadMBs, save = u.saveMBs >= 0.8 * results[1].saveMBs;
        bool memory = u.bytesPerElement <= results[1].bytesPerElement;
        std::printf("%-8s goals: load >= 0.5 x pugixml %s, save >= 0.8 x pugixml %s, bytes/elem <= pugixml %s\n\n", "",
                    load ? "met" : "MISSED", save ? "met" : "MISSED", memory ? "met" : "MISSED");
        goalsMet = goalsMet && load && save && memory;
    }
    std::printf("%s\n", goalsMet ? "all goals met" : "some goals missed");
    return goalsMet ? 0 : 1;
}
