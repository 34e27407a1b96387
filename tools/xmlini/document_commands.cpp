// fmt and dump: a document as the writer saves it, and its tree as JSON.
#include <ostream>

#include "tools/xmlini/commands.h"
#include "xml/Parser.h"

namespace xmlini_tool {
namespace {

// Each byte becomes the code point of the same value (0x80-0xFF as U+0080-U+00FF), as a JSON string.
void WriteJsonString(std::string& out, std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (unsigned char c : bytes) {
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out.append("\\u00").push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
            } else if (c >= 0x80) {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out.push_back('"');
}

// The node's fields up to the opening bracket of its children.
void WriteNodeHead(std::string& out, const TxmlNode* node) {
    out.append("{\"name\":");
    WriteJsonString(out, node->Name);
    out.append(",\"value\":");
    WriteJsonString(out, node->Value);
    out.append(node->IsComment ? ",\"comment\":true" : ",\"comment\":false");
    out.append(",\"attributes\":[");
    const auto& lines = node->Attributes.Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out.push_back(',');
        WriteJsonString(out, lines[i]);
    }
    out.append("],\"children\":[");
}

// Iterative, so that any depth is written.
std::string TreeAsJson(const TxmlNode* top) {
    std::string out;
    struct Frame {
        const TxmlNode* node;
        size_t next;
    };
    WriteNodeHead(out, top);
    std::vector<Frame> stack{{top, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->Children.size()) {
            if (frame.next) out.push_back(',');
            const TxmlNode* child = frame.node->Children[frame.next++];
            WriteNodeHead(out, child);
            stack.push_back({child, 0});
        } else {
            out.append("]}");
            stack.pop_back();
        }
    }
    out.push_back('\n');
    return out;
}

// A tree whose release nobody would see: the trace is off and the process ends right after the command.
// It stays reachable from here, so leak checkers count it as memory in use, not as a leak.
const TxmlNode* treeLeftForExit = nullptr;

// Leaves the tree to the end of the process, which takes back its memory at once instead of node by
// node, unless its release writes trace lines: then its owner releases it as usual.
void LeaveForExitUnlessTraced(TxmlTree& tree) {
    if (!XmlTraceEnabled()) treeLeftForExit = tree.Detach();
}

bool OneFile(const char* name, const std::vector<std::string>& args, std::ostream& err) {
    if (args.size() == 1) return true;
    err << "usage: xmlini " << name << " FILE\n";
    return false;
}

int Fmt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!OneFile("fmt", args, err)) return kExitUsage;
    TxmlTree tree(LoadXmlFile(args[0]));
    SaveXmlStream(tree.Get(), out);
    LeaveForExitUnlessTraced(tree);
    return kExitOk;
}

int Dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!OneFile("dump", args, err)) return kExitUsage;
    TxmlTree tree(LoadXmlFile(args[0]));
    std::string json = TreeAsJson(tree.Get());
    out.write(json.data(), static_cast<std::streamsize>(json.size()));
    LeaveForExitUnlessTraced(tree);
    return kExitOk;
}

const Command kCommands[] = {
    {"fmt", "FILE", "write FILE to standard output as the XML writer saves it", Fmt},
    {"dump", "FILE", "write the tree of FILE to standard output as JSON", Dump},
};

}  // namespace

std::span<const Command> DocumentCommands() { return kCommands; }

}  // namespace xmlini_tool
