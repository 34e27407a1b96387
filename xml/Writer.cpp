// The writer: the lines of a tree collected in memory, written in one go.
#include "xml/Writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "platform/replace_file.h"
#include "xml/ByteSearch.h"
#include "xml/NameCompare.h"

namespace {

constexpr std::string_view kHeaderComment = " created by Velmora XML package ";

using namespace std::string_view_literals;

// Bytes the escaping looks at: the four escaped ones and NUL, where the text ends.
constexpr xmlscan::ByteSet kEscaped("\"&<>\0"sv);

// Collects the output in a buffer of its own and hands it on in large pieces, to a string or a stream,
// so that no output is built twice and a stream never waits for the whole text.
class Sink {
public:
    explicit Sink(AnsiString& text) : text_(&text) {}
    explicit Sink(std::ostream& stream) : stream_(&stream) {}

    void Put(std::string_view bytes) {
        if (bytes.size() > static_cast<size_t>(end_ - at_)) return PutLarge(bytes);
        std::memcpy(at_, bytes.data(), bytes.size());
        at_ += bytes.size();
    }
    void Put(char byte) {
        if (at_ == end_) Flush();
        *at_++ = byte;
    }
    // Room for up to size bytes, to be filled from the returned address and handed back with Commit.
    char* Room(size_t size) {
        if (size <= static_cast<size_t>(end_ - at_)) return at_;
        Flush();
        if (size <= sizeof buffer_) return at_;
        large_.reset(new char[size]);  // a line longer than the buffer
        return large_.get();
    }
    // Takes the bytes [start, end) written into the Room that returned start.
    void Commit(char* start, char* end) {
        if (start != large_.get()) {
            at_ = end;
            return;
        }
        Write(start, static_cast<size_t>(end - start));
        large_.reset();
    }

    // Hands on what the buffer holds. A failing stream throws EInOutError ("Stream write error").
    void Flush() {
        Write(buffer_, static_cast<size_t>(at_ - buffer_));
        at_ = buffer_;
    }

private:
    void PutLarge(std::string_view bytes) {
        Flush();
        if (bytes.size() >= sizeof buffer_) return Write(bytes.data(), bytes.size());
        std::memcpy(at_, bytes.data(), bytes.size());
        at_ += bytes.size();
    }

    void Write(const char* data, size_t size) {
        if (size == 0) return;
        if (text_) {
            text_->append(data, size);
            return;
        }
        bool written = false;
        try {
            written = static_cast<bool>(stream_->write(data, static_cast<std::streamsize>(size)));
        } catch (...) {
            written = false;
        }
        if (!written) throw EInOutError("Stream write error", 0);
    }

    AnsiString* text_ = nullptr;
    std::ostream* stream_ = nullptr;
    std::unique_ptr<char[]> large_;
    char buffer_[64 * 1024];
    char* at_ = buffer_;
    char* const end_ = buffer_ + sizeof buffer_;
};

// One attribute as written: the name of its line and the value a lookup by that name finds (the first
// line of that name, usually the line itself).
struct WrittenAttribute {
    std::string_view name, value;
};

// The attributes of lines as written, into out; answers the most bytes their escaped form can take.
size_t CollectAttributes(const TxmlAttributes& lines, std::vector<WrittenAttribute>& out) {
    out.clear();
    size_t most = 0;
    for (std::string_view line : lines) {
        size_t eq = xmlname::FindEquals(line);
        WrittenAttribute attribute{};
        if (eq < line.size()) attribute = {line.substr(0, eq), line.substr(eq + 1)};
        for (const WrittenAttribute& earlier : out) {
            if (xmlname::SameAttributeName(earlier.name, attribute.name)) {
                attribute.value = earlier.value;
                break;
            }
        }
        out.push_back(attribute);
        most += attribute.name.size() + 6 * attribute.value.size() + 4;
    }
    return most;
}

// Whether the start line of node, trimmed of bytes up to blank, would read "< />", which is not written:
// a leaf without name, attributes and text, or a node with children, no attributes and the name " /".
bool IsEmptyTagLine(const TxmlNode* node) {
    if (!node->Attributes.Empty()) return false;
    if (node->Children.empty()) return node->Name.empty() && node->Value.empty();
    return node->Name == " /";
}

char* Copy(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The escaped text, up to its first NUL byte; at most six bytes for each byte of text.
char* CopyEncoded(char* out, std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        p = kEscaped.CopyUntil(out, p, end);
        if (p == end) return out;
        switch (*p++) {
        case '"': out = Copy(out, "&quot;"); break;
        case '&': out = Copy(out, "&amp;"); break;
        case '<': out = Copy(out, "&lt;"); break;
        case '>': out = Copy(out, "&gt;"); break;
        default: return out;  // NUL
        }
    }
}

// Writes the start line (or the only line) of node at depth; attributes is room the writer reuses.
void WriteStartLine(Sink& sink, const TxmlNode* node, size_t depth, std::vector<WrittenAttribute>& attributes) {
    if (IsEmptyTagLine(node)) return;
    bool hasChildren = !node->Children.empty();
    std::string_view name = node->Name, value = node->Value;
    if (!hasChildren && node->IsComment && !value.empty()) {
        sink.Put("<!--");
        sink.Put(value);
        sink.Put("-->\r\n");
        return;
    }
    size_t most = 2 * depth + 2 * name.size() + 6 * value.size() + 16 + CollectAttributes(node->Attributes, attributes);
    char* start = sink.Room(most);
    char* out = start;
    std::memset(out, ' ', 2 * depth);
    out += 2 * depth;
    *out++ = '<';
    out = Copy(out, name);
    for (const WrittenAttribute& attribute : attributes) {
        *out++ = ' ';
        out = Copy(out, attribute.name);
        *out++ = '=';
        *out++ = '"';
        out = CopyEncoded(out, attribute.value);
        *out++ = '"';
    }
    if (!hasChildren) {
        if (value.empty()) {
            out = Copy(out, " />");
        } else {
            *out++ = '>';
            out = CopyEncoded(out, value);
            *out++ = '<';
            *out++ = '/';
            out = Copy(out, name);
            *out++ = '>';
        }
    } else {
        out = Copy(out, attributes.empty() ? ">" : " >");
        out = CopyEncoded(out, value);
    }
    *out++ = '\r';
    *out++ = '\n';
    sink.Commit(start, out);
}

// The lines of every child of container at depth 1 and below; iterative, so that any depth is written.
void WriteChildren(Sink& out, const TxmlNode* container) {
    struct Frame {
        const TxmlNode* node;
        size_t next;  // index of the next child to write
    };
    std::vector<Frame> stack{{container, 0}};
    std::vector<WrittenAttribute> attributes;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->Children.size()) {
            const TxmlNode* child = frame.node->Children[frame.next++];
            if (child->Value == kHeaderComment) continue;
            size_t depth = stack.size();
            WriteStartLine(out, child, depth, attributes);
            if (!child->Children.empty()) stack.push_back({child, 0});
            continue;
        }
        if (stack.size() > 1) {
            size_t indent = 2 * (stack.size() - 1);
            std::string_view name = frame.node->Name;
            char* start = out.Room(indent + name.size() + 5);
            char* end = start + indent;
            std::memset(start, ' ', indent);
            end = Copy(Copy(end, "</"), name);
            end = Copy(end, ">\r\n");
            out.Commit(start, end);
        }
        stack.pop_back();
    }
}

void WriteDocument(Sink& out, const TxmlNode* container, std::string_view encoding) {
    out.Put("<?xml version=\"1.0\"");
    if (!encoding.empty()) {
        out.Put(" encoding=\"");
        out.Put(encoding);
        out.Put('"');
    }
    out.Put("?>\r\n<!--");
    out.Put(kHeaderComment);
    out.Put("-->\r\n");
    WriteChildren(out, container);
    out.Flush();
}

}  // namespace

AnsiString XmlEncode(std::string_view text) {
    AnsiString out(6 * text.size(), '\0');
    out.resize(static_cast<size_t>(CopyEncoded(out.data(), text) - out.data()));
    return out;
}

AnsiString SaveXmlString(const TxmlNode* container, std::string_view encoding) {
    AnsiString out;
    auto sink = std::make_unique<Sink>(out);
    WriteDocument(*sink, container, encoding);
    return out;
}

void SaveXmlStream(const TxmlNode* container, std::ostream& stream, std::string_view encoding) {
    auto sink = std::make_unique<Sink>(stream);
    WriteDocument(*sink, container, encoding);
}

void SaveXmlFile(const TxmlNode* container, const AnsiString& fileName, std::string_view encoding) {
    const platform::ReplaceOutcome outcome = platform::ReplaceFileContent(fileName, SaveXmlString(container, encoding));
    if (outcome) return;
    if (outcome.failed == platform::ReplaceStep::kWrite) throw EInOutError("Stream write error", outcome.code);
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + platform::SystemErrorText(outcome.code));
}
