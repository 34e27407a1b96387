// The writer: the lines of a tree collected in memory, written in one go.
#include "xml/Writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

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
    void PutSpaces(size_t count) {
        while (count > 0) {
            if (at_ == end_) Flush();
            size_t n = std::min(count, static_cast<size_t>(end_ - at_));
            std::memset(at_, ' ', n);
            at_ += n;
            count -= n;
        }
    }
    // The escaped text, up to its first NUL byte.
    void PutEncoded(std::string_view text) {
        const char* p = text.data();
        const char* end = p + text.size();
        for (;;) {
            const char* run = p;
            while (p < end && !kEscape.special[static_cast<unsigned char>(*p)]) ++p;
            Put(std::string_view(run, static_cast<size_t>(p - run)));
            if (p == end) return;
            switch (*p++) {
            case '"': Put("&quot;"); break;
            case '&': Put("&amp;"); break;
            case '<': Put("&lt;"); break;
            case '>': Put("&gt;"); break;
            default: return;  // NUL
            }
        }
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
    char buffer_[64 * 1024];
    char* at_ = buffer_;
    char* const end_ = buffer_ + sizeof buffer_;
};

// The value a lookup by the name of line finds: the first line of that name, usually line itself.
std::string_view LookedUpValue(const TxmlAttributes& lines, TxmlAttributes::Iterator line) {
    std::string_view name = xmlname::LineName(*line);
    for (auto it = lines.begin(); it != line; ++it) {
        if (xmlname::SameAttributeName(xmlname::LineName(*it), name)) {
            line = it;
            break;
        }
    }
    return xmlname::LineValue(*line);
}

// Whether the start line of node, trimmed of bytes up to blank, would read "< />", which is not written:
// a leaf without name, attributes and text, or a node with children, no attributes and the name " /".
bool IsEmptyTagLine(const TxmlNode* node) {
    if (!node->Attributes.Empty()) return false;
    if (node->Children.empty()) return node->Name.empty() && node->Value.empty();
    return node->Name == " /";
}

// Writes the start line (or the only line) of node at depth.
void WriteStartLine(Sink& out, const TxmlNode* node, size_t depth) {
    if (IsEmptyTagLine(node)) return;
    bool hasChildren = !node->Children.empty();
    if (!hasChildren && node->IsComment && !node->Value.empty()) {
        out.Put("<!--");
        out.Put(node->Value);
        out.Put("-->\r\n");
        return;
    }
    out.PutSpaces(2 * depth);
    out.Put('<');
    out.Put(node->Name);
    const TxmlAttributes& lines = node->Attributes;
    for (auto line = lines.begin(); line != lines.end(); ++line) {
        out.Put(' ');
        out.Put(xmlname::LineName(*line));
        out.Put("=\"");
        out.PutEncoded(LookedUpValue(lines, line));
        out.Put('"');
    }
    if (!hasChildren) {
        if (node->Value.empty()) {
            out.Put(" />");
        } else {
            out.Put('>');
            out.PutEncoded(node->Value);
            out.Put("</");
            out.Put(node->Name);
            out.Put('>');
        }
    } else {
        out.Put(lines.Empty() ? ">" : " >");
        if (!node->Value.empty()) out.PutEncoded(node->Value);
    }
    out.Put("\r\n");
}

// The lines of every child of container at depth 1 and below; iterative, so that any depth is written.
void WriteChildren(Sink& out, const TxmlNode* container) {
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
            out.PutSpaces(2 * (stack.size() - 1));
            out.Put("</");
            out.Put(frame.node->Name);
            out.Put(">\r\n");
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
    AnsiString out;
    out.reserve(text.size());
    Sink sink(out);
    sink.PutEncoded(text);
    sink.Flush();
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

namespace {

AnsiString TemporaryNameBeside(const AnsiString& fileName) {
    static std::atomic<unsigned> counter{0};
    auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%llx-%x.tmp", ticks & 0xFFFFFFFFFFull, counter.fetch_add(1));
    return fileName + suffix;
}

}  // namespace

void SaveXmlFile(const TxmlNode* container, const AnsiString& fileName, std::string_view encoding) {
    AnsiString text = SaveXmlString(container, encoding);
    AnsiString temporary = TemporaryNameBeside(fileName);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        int code = errno;
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(code));
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int code = written ? 0 : errno;
    if (std::fflush(file) != 0 && written) {
        written = false;
        code = errno;
    }
    if (std::fclose(file) != 0 && written) {
        written = false;
        code = errno;
    }
    if (!written) {
        std::remove(temporary.c_str());
        throw EInOutError("Stream write error", code);
    }
    if (int error = platform::ReplaceFileWith(temporary, fileName)) {
        std::remove(temporary.c_str());
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + platform::ReplaceFileErrorText(error));
    }
}
