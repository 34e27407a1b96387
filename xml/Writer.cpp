// The writer: the lines of a tree collected in memory, written in one go.
#include "xml/Writer.h"

#include "platform/files.h"
#include "platform/replace_file.h"
#include "xml/NameCompare.h"

namespace {

constexpr std::string_view kHeaderComment = " created by Velmora XML package ";

// Bytes the escaping looks at: the four escaped ones and NUL, where the text ends.
struct EscapeTable {
    bool special[256] = {};
    constexpr EscapeTable() {
        special[static_cast<unsigned char>('"')] = special[static_cast<unsigned char>('&')] = true;
        special[static_cast<unsigned char>('<')] = special[static_cast<unsigned char>('>')] = true;
        special[0] = true;
    }
};
constexpr EscapeTable kEscape;

void EncodeInto(AnsiString& out, std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        const char* run = p;
        while (p < end && !kEscape.special[static_cast<unsigned char>(*p)]) ++p;
        out.append(run, p);
        if (p == end) return;
        switch (*p++) {
        case '"': out.append("&quot;"); break;
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        default: return;  // NUL
        }
    }
}

std::string_view NameOf(std::string_view line) {
    size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

// The value a lookup by the name of line i finds: the first line of that name, usually line i itself.
std::string_view LookedUpValue(const std::vector<AnsiString>& lines, size_t i) {
    std::string_view name = NameOf(lines[i]);
    size_t found = i;
    for (size_t j = 0; j < i; ++j) {
        if (xmlname::SameAttributeName(NameOf(lines[j]), name)) {
            found = j;
            break;
        }
    }
    std::string_view line = lines[found];
    size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

bool IsEmptyTagLine(std::string_view line) {
    size_t b = 0, e = line.size();
    while (b < e && static_cast<unsigned char>(line[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(line[e - 1]) <= 32) --e;
    return line.substr(b, e - b) == "< />";
}

// Appends the start line (or the only line) of node at depth.
void WriteStartLine(AnsiString& out, const TxmlNode* node, size_t depth) {
    size_t lineStart = out.size();
    out.append(2 * depth, ' ').append(1, '<').append(node->Name);
    const auto& lines = node->Attributes.Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        out.append(1, ' ').append(NameOf(lines[i])).append("=\"");
        EncodeInto(out, LookedUpValue(lines, i));
        out.append(1, '"');
    }
    bool hasChildren = !node->Children.empty();
    if (!hasChildren) {
        if (node->Value.empty()) {
            out.append(" />");
        } else if (node->IsComment) {
            out.resize(lineStart);
            out.append("<!--").append(node->Value).append("-->");
        } else {
            out.append(1, '>');
            EncodeInto(out, node->Value);
            out.append("</").append(node->Name).append(1, '>');
        }
    } else {
        out.append(lines.empty() ? ">" : " >");
    }
    if (IsEmptyTagLine(std::string_view(out).substr(lineStart))) {
        out.resize(lineStart);
        return;
    }
    if (hasChildren && !node->Value.empty()) EncodeInto(out, node->Value);
    out.append("\r\n");
}

// The lines of every child of container at depth 1 and below; iterative, so that any depth is written.
void WriteChildren(AnsiString& out, const TxmlNode* container) {
    struct Frame {
        const TxmlNode* node;
        size_t next;  // index of the next child to write
    };
    std::vector<Frame> stack{{container, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->Children.size()) {
            const TxmlNode* child = frame.node->Children[frame.next++];
            if (child->Value == kHeaderComment) continue;
            size_t depth = stack.size();
            WriteStartLine(out, child, depth);
            if (!child->Children.empty()) stack.push_back({child, 0});
            continue;
        }
        if (stack.size() > 1) {
            const TxmlNode* node = frame.node;
            size_t depth = stack.size() - 1;
            out.append(2 * depth, ' ').append("</").append(node->Name).append(">\r\n");
        }
        stack.pop_back();
    }
}

}  // namespace

AnsiString XmlEncode(std::string_view text) {
    AnsiString out;
    out.reserve(text.size());
    EncodeInto(out, text);
    return out;
}

AnsiString SaveXmlString(const TxmlNode* container, std::string_view encoding) {
    AnsiString out = "<?xml version=\"1.0\"";
    if (!encoding.empty()) out.append(" encoding=\"").append(encoding).append("\"");
    out.append("?>\r\n<!--").append(kHeaderComment).append("-->\r\n");
    WriteChildren(out, container);
    return out;
}

void SaveXmlStream(const TxmlNode* container, std::ostream& stream, std::string_view encoding) {
    AnsiString text = SaveXmlString(container, encoding);
    bool written = false;
    try {
        written = static_cast<bool>(stream.write(text.data(), static_cast<std::streamsize>(text.size())));
    } catch (...) {
        written = false;
    }
    if (!written) throw EInOutError("Stream write error", 0);
}

void SaveXmlFile(const TxmlNode* container, const AnsiString& fileName, std::string_view encoding) {
    const platform::ReplaceOutcome outcome = platform::ReplaceFileContent(fileName, SaveXmlString(container, encoding));
    if (outcome) return;
    if (outcome.failed == platform::ReplaceStep::kWrite) throw EInOutError("Stream write error", outcome.code);
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + platform::SystemErrorText(outcome.code));
}
