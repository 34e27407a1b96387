// Load and save throughput (MB/s) and heap bytes per element of the XML unit against pugixml, tinyxml2
// and libxml2, on generated settings-like documents of 1, 10 and 100 MB, with ratios.
//   bench_xml [SIZE_MB...]     default: 1 10 100
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

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

double SecondsOf(const std::function<void()>& run) {
    auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

// One round of a peer, in a process forked for it: it inherits the document but not the heap that
// another library left behind (a heap full of another's small free blocks makes the next large request
// slow). A first load and save, not timed, bring in the memory that the timed ones reuse; then a load
// with the free of its tree, the heap that a loaded tree keeps, and a save.
Result MeasureRound(Peer& peer, const std::string& doc, size_t elements) {
    Result result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return result;
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        double mb = double(doc.size()) / (1024 * 1024);
        peer.load(doc);
        peer.save();
        peer.free();
        result.loadMBs = mb / SecondsOf([&] {
            peer.load(doc);
            peer.free();
        });
        size_t before = HeapInUse();
        peer.load(doc);
        result.bytesPerElement = double(HeapInUse() - before) / double(elements);
        result.saveMBs = mb / SecondsOf([&] { peer.save(); });
        peer.free();
        bool written = write(pipeEnds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    if (child < 0 || read(pipeEnds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) result = Result();
    close(pipeEnds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return result;
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
        // Rounds in turn, so that a busy moment of the machine falls on every library alike; the best
        // speeds of all rounds count.
        std::vector<Result> results(peers.size());
        for (int round = 0; round < repeats; ++round) {
            for (size_t i = 0; i < peers.size(); ++i) {
                Result r = MeasureRound(peers[i], doc, elements);
                results[i].loadMBs = std::max(results[i].loadMBs, r.loadMBs);
                results[i].saveMBs = std::max(results[i].saveMBs, r.saveMBs);
                results[i].bytesPerElement = r.bytesPerElement;
            }
        }
        for (size_t i = 0; i < peers.size(); ++i) {
            const Result& r = results[i];
            std::printf("%-8s %-14s %10.1f %10.1f %12.1f\n", (std::to_string(mb) + " MB").c_str(), peers[i].name, r.loadMBs,
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
