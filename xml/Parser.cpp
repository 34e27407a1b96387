// The tolerant parser: a byte-at-a-time tokenizer over a buffered source that builds the tree as it goes.
#include "xml/Parser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "xml/NameCompare.h"
#include "xml/TreeStorage.h"

namespace {

// NUL, TAB, LF, CR and space separate names and attributes.
inline bool IsBlank(char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// Each CR and LF in [begin, end) becomes a blank. Answers whether the bytes hold an "&", which is found
// in the same pass.
inline bool BlankLineBreaks(char* begin, char* end) {
    bool ampersand = false;
    for (char* p = begin; p != end; ++p) {
        char c = *p;
        if (c == '\r' || c == '\n')
            *p = ' ';
        else if (c == '&')
            ampersand = true;
    }
    return ampersand;
}

// Cheap equality with a short literal; the reader asks this for every byte of a name.
template <size_t N>
inline bool Is(const AnsiString& s, const char (&literal)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), literal, N - 1) == 0;
}

// Bytes up to space (code 32 and lower) trimmed from both ends.
std::string_view TrimControl(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

AnsiString ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    AnsiString out;
    out.reserve(text.size());
    size_t start = 0;
    for (;;) {
        size_t hit = text.find(from, start);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(start, hit - start)).append(to);
        start = hit + from.size();
    }
    out.append(text.substr(start));
    return out;
}

template <size_t N>
inline bool StartsWith(std::string_view s, size_t at, const char (&prefix)[N]) {
    return s.size() - at >= N - 1 && std::memcmp(s.data() + at, prefix, N - 1) == 0;
}

// Decodes step 2 into out; false when an "&" form is not one of the decodable ones.
bool DecodeReferences(std::string_view t, AnsiString& out) {
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        size_t amp = t.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(t.substr(i));
            break;
        }
        out.append(t.substr(i, amp - i));
        i = amp + 1;
        if (StartsWith(t, i, "amp;")) {
            out.push_back('&');
            i += 4;
        } else if (StartsWith(t, i, "lt;")) {
            out.push_back('<');
            i += 3;
        } else if (StartsWith(t, i, "quot;")) {
            out.push_back('"');
            i += 5;
        } else if (i < t.size() && t[i] == '#') {
            size_t j = i + 1;
            unsigned value = 0;
            while (j < t.size() && t[j] >= '0' && t[j] <= '9') value = (value * 10 + unsigned(t[j++] - '0')) % 256;
            if (j == i + 1 || j >= t.size() || t[j] != ';') return false;
            out.push_back(static_cast<char>(value));
            i = j + 1;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

// XmlDecode into out (replacing its content), so that the reader can reuse one buffer for every value.
void XmlDecodeTo(std::string_view text, AnsiString& out) {
    out.clear();
    if (text.find('&') == std::string_view::npos) {
        out.append(text);
        return;
    }
    bool valid = text.find("&gt") == std::string_view::npos
                     ? DecodeReferences(text, out)
                     : DecodeReferences(ReplaceAll(ReplaceAll(text, "&gt;", ">"), "&gt", ">"), out);
    if (valid) return;
    // Not decodable as a whole: only the four named references are replaced, in this order.
    out = ReplaceAll(ReplaceAll(ReplaceAll(ReplaceAll(text, "&quot;", "\""), "&lt;", "<"), "&gt;", ">"), "&amp;", "&");
}

}  // namespace

AnsiString XmlDecode(std::string_view text) {
    AnsiString out;
    XmlDecodeTo(text, out);
    return out;
}

// ---- The reader ---------------------------------------------------------------------------------------

namespace {

enum TokenKind : unsigned char { xtStartTag, xtEndTag, xtComment, xtText, xtNone };

}  // namespace

// Reads the whole input from memory. Names, texts and attribute lines are gathered in buffers the reader
// reuses, then copied once into the tree's storage, so that a node costs no heap block of its own.
class TxmlParser::Reader {
public:
    Reader(const char* data, size_t size, TxmlTreeStorage& storage) : pos_(data), end_(data + size), storage_(storage) {}

    // Builds the tree below top (a node of the storage) from the input.
    void BuildTree(TxmlNode* top) {
        ReadChar();
        TxmlNode* current = top;
        for (;;) {
            NextToken();
            switch (kind_) {
            case xtStartTag: {
                TxmlNode* child = new (storage_) TxmlNode(current);
                storage_.CopyInto(child->Name, *text_);
                if (lineCount_) {
                    char* lines = storage_.AllocateText(lines_.size());
                    std::memcpy(lines, lines_.data(), lines_.size());
                    TxmlTreeStorage::Borrow(child->Attributes, lines, lines_.size(), lineCount_);
                }
                current = child;
                break;
            }
            case xtEndTag:
                if (Is(*text_, "/>")) {
                    current = current->Parent;
                } else if (!text_->empty()) {  // "</>" is passed over
                    TxmlNode* open = current;
                    while (open && !xmlname::SameElementName(open->Name, *text_)) open = open->Parent;
                    current = open ? open->Parent : nullptr;
                }
                if (!current) current = top;
                break;
            case xtComment: {
                TxmlNode* comment = new (storage_) TxmlNode(current);
                comment->IsComment = true;
                storage_.CopyInto(comment->Value, *text_);
                break;
            }
            case xtText:
                if (text_->find('&') == AnsiString::npos) {
                    storage_.CopyInto(current->Value, *text_);
                } else {
                    XmlDecodeTo(*text_, decoded_);
                    storage_.CopyInto(current->Value, decoded_);
                }
                break;
            case xtNone:
                return;
            }
        }
    }

private:
    // Reads one byte into ch_; at the end of the input sets eof_ (ch_ stays) and answers false.
    bool ReadChar() {
        if (pos_ == end_) {
            eof_ = true;
            return false;
        }
        ch_ = *pos_++;
        return true;
    }

    // Takes the bytes from pos_ up to (not including) the first one for which stop is true into s, as if
    // each had been read with ReadChar and appended.
    template <class Stop>
    void TakeRun(AnsiString& s, Stop stop) {
        const char* p = pos_;
        while (p < end_ && !stop(*p)) ++p;
        if (p != pos_) {
            s.append(pos_, static_cast<size_t>(p - pos_));
            ch_ = p[-1];
            pos_ = p;
        }
    }

    // The next chunk into chunk_: "<", "</", "/>" or text.
    void NextChunk() {
        AnsiString& s = chunk_;
        s.clear();
        s.swap(pending_);
        for (;;) {
            switch (ch_) {
            case '<':
                if (!s.empty()) return;
                s = "<";
                if (ReadChar()) {
                    if (ch_ == '/')
                        s = "</";
                    else
                        pending_.assign(1, ch_);
                }
                return;
            case '/':
                if (!ReadChar()) return;
                if (ch_ == '>') {
                    pending_ = "/";
                    return;
                }
                // Text keeps the "/"; whatever follows is looked at again, so a tag right after it is a tag.
                s.push_back('/');
                continue;
            case '>':
                if (Is(s, "/")) {
                    ReadChar();
                    s = "/>";
                    return;
                }
                // A ">" inside text is part of the text.
                s.push_back('>');
                if (!ReadChar()) return;
                continue;
            default:
                if (s.empty() && static_cast<unsigned char>(ch_) <= 32) {
                    // Blanks before any text would be trimmed from it anyway: the line breaks and
                    // indentation between tags are passed over without being copied.
                    while (pos_ != end_ && static_cast<unsigned char>(*pos_) <= 32) ++pos_;
                    if (!ReadChar()) return;
                    continue;
                }
                s.push_back(ch_);
                TakeRun(s, [](char c) { return c == '<' || c == '/' || c == '>'; });
                if (!ReadChar()) return;
                continue;
            }
        }
    }

    // The name after "<" or "</" into name_.
    void ReadName() {
        AnsiString& s = name_;
        s.clear();
        s.swap(pending_);
        selfClosed_ = false;
        while (ReadChar()) {
            char c = ch_;
            if (c == '?') {
                if (s.empty()) s = "?";
                break;
            }
            if (c == '-') {
                s.push_back('-');
                if (Is(s, "!--")) break;
                continue;
            }
            if (IsBlank(c) || c == '>') break;
            if (s.size() == 1 && (s[0] == '?' || s[0] == '!')) break;
            if (c != '/') {
                s.push_back(c);
                // Plain name bytes need none of the checks above once the name is longer than "!".
                if (s.size() > 1 && s[0] != '?' && s[0] != '!')
                    TakeRun(s, [](char b) { return IsBlank(b) || b == '>' || b == '/' || b == '?' || b == '-'; });
                continue;
            }
            // "<br/>" is an empty element br; any other "/" ends the name and is skipped.
            if (ReadChar() && ch_ == '>') {
                pending_ = "/";
                selfClosed_ = true;
            }
            break;
        }
    }

    // Called with ch_ on the opening double quote: the value's bytes into value_, each CR and LF as a
    // blank; leaves ch_ on the byte after the closing quote. Answers whether the value holds an "&".
    bool ReadQuotedValue() {
        const void* quote = std::memchr(pos_, '"', static_cast<size_t>(end_ - pos_));
        const char* stop = quote ? static_cast<const char*>(quote) : end_;
        value_.assign(pos_, static_cast<size_t>(stop - pos_));
        if (stop != pos_) ch_ = stop[-1];
        pos_ = stop;
        if (quote)
            ch_ = *pos_++;
        else
            eof_ = true;
        bool ampersand = BlankLineBreaks(value_.data(), value_.data() + value_.size());
        ReadChar();
        return ampersand;
    }

    // Appends the line name=value to lines_.
    void AddLine(std::string_view name, std::string_view value) {
        size_t length = name.size() + 1 + value.size();
        size_t at = lines_.size();
        lines_.resize(at + xmlline::LengthSize(length) + length);
        char* p = xmlline::WriteLength(lines_.data() + at, length);
        std::memcpy(p, name.data(), name.size());
        p[name.size()] = '=';
        if (!value.empty()) std::memcpy(p + name.size() + 1, value.data(), value.size());
        if (lineCount_ == UINT32_MAX) throw EListError("Too many attribute lines");
        ++lineCount_;
    }

    // Bytes that end an attribute name: blanks, "=", the double quote, "/" and ">".
    static bool EndsAttributeName(char c) {
        return IsBlank(c) || c == '=' || c == '"' || c == '/' || c == '>';
    }

    // Reads the attributes of a tag up to its ">" (outside double quotes) into lines_. With keep false
    // they are only passed over.
    void ReadAttributes(bool keep) {
        AnsiString& name = attributeName_;
        name.clear();
        bool separated = false;
        for (;;) {
            if (ch_ == '"') {
                bool needsDecoding = ReadQuotedValue();
                if (keep) {
                    if (needsDecoding) {
                        XmlDecodeTo(value_, decoded_);
                        // A numeric reference to a line break gives a blank, as a literal one does.
                        BlankLineBreaks(decoded_.data(), decoded_.data() + decoded_.size());
                        AddLine(name, decoded_);
                    } else {
                        AddLine(name, value_);
                    }
                }
                name.clear();
                separated = false;
                if (eof_) return;
            }
            if (ch_ == '/') {
                if (!ReadChar()) return;
                if (ch_ == '>') {
                    pending_ = "/";  // the next chunk is "/>"
                    return;
                }
                continue;  // the "/" is skipped; the byte after it is looked at as usual
            }
            if (ch_ == '>') {
                ReadChar();
                return;
            }
            if (IsBlank(ch_) || ch_ == '=') {
                separated = true;
            } else {
                if (separated) {
                    name.assign(1, ch_);
                    separated = false;
                } else {
                    name.push_back(ch_);
                }
                TakeRun(name, EndsAttributeName);
            }
            if (!ReadChar()) return;
        }
    }

    // Called with ch_ on the last "-" of "<!--": the text into comment_; the comment ends at its first
    // "-->".
    void ReadComment() {
        AnsiString& text = comment_;
        text.clear();
        while (ReadChar()) {
            if (ch_ == '>' && text.size() >= 2 && text[text.size() - 1] == '-' && text[text.size() - 2] == '-') {
                text.resize(text.size() - 2);
                break;
            }
            text.push_back(ch_);
            TakeRun(text, [](char c) { return c == '>'; });
        }
        ReadChar();
    }

    // The next token: kind_, its text in *text_ and, for a start tag, its attribute lines in lines_.
    void NextToken() {
        kind_ = xtNone;
        name_.clear();
        text_ = &name_;
        lines_.clear();
        lineCount_ = 0;
        while (!eof_ && kind_ == xtNone) {
            NextChunk();
            if (Is(chunk_, "<")) {
                ReadName();
                text_ = &name_;
                if (Is(name_, "?") || Is(name_, "!")) {
                    ReadAttributes(false);  // declarations and document types are skipped
                } else if (Is(name_, "!--")) {
                    kind_ = xtComment;
                    ReadComment();
                    text_ = &comment_;
                } else {
                    kind_ = xtStartTag;
                    if (!selfClosed_) ReadAttributes(true);
                }
            } else if (Is(chunk_, "/>")) {
                kind_ = xtEndTag;
                text_ = &chunk_;
            } else if (Is(chunk_, "</")) {
                kind_ = xtEndTag;
                ReadName();
                text_ = &name_;
                if (selfClosed_) pending_.clear();  // "</a/>" is the end tag of a
                ReadAttributes(false);
            } else {
                std::string_view text = TrimControl(chunk_);
                if (!text.empty()) {
                    kind_ = xtText;
                    trimmed_.assign(text);
                    text_ = &trimmed_;
                }
            }
        }
    }

    const char* pos_;
    const char* end_;
    TxmlTreeStorage& storage_;
    char ch_ = 0;
    bool eof_ = false;
    bool selfClosed_ = false;
    TokenKind kind_ = xtNone;
    const AnsiString* text_ = &name_;  // the token's text: one of the buffers below
    AnsiString pending_;
    AnsiString chunk_;
    AnsiString name_;
    AnsiString comment_;
    AnsiString trimmed_;
    AnsiString attributeName_;
    AnsiString value_;
    AnsiString decoded_;
    AnsiString lines_;  // a start tag's attribute lines, each after its length
    uint32_t lineCount_ = 0;
};

// ---- TxmlParser -----------------------------------------------------------------------------------------

namespace {

TxmlNode* NewRoot() {
    TxmlNode* root = new TxmlNode();
    root->Name = "Root";
    return root;
}

}  // namespace

TxmlParser::TxmlParser() : root_(NewRoot()) {}

TxmlParser::~TxmlParser() {
    if (root_ && !root_->Parent) {
        try {
            DestroyNode(root_);
        } catch (...) {
        }
    }
}

TxmlNode* TxmlParser::TakeRoot() noexcept {
    TxmlNode* root = root_;
    root_ = nullptr;
    return root;
}

void TxmlParser::LoadBytes(const char* data, size_t size) {
    TxmlTreeStorage* storage = TxmlTreeStorage::Create();
    struct Hold {
        TxmlTreeStorage* storage;
        ~Hold() {
            storage->Seal();
            TxmlTreeStorage::Release(storage);
        }
    } hold{storage};
    // The old top node goes (its trace line is written) unless it now belongs to another tree.
    TxmlNode* fresh = new (*storage) TxmlNode();
    fresh->Name = "Root";
    TxmlNode* old = root_;
    root_ = fresh;
    if (old && !old->Parent) DestroyNode(old);
    Reader(data, size, *storage).BuildTree(root_);
}

void TxmlParser::LoadFromStream(std::istream& stream) {
    AnsiString bytes;
    char block[64 * 1024];
    try {
        while (stream && stream.read(block, sizeof block).gcount() > 0)
            bytes.append(block, static_cast<size_t>(stream.gcount()));
    } catch (...) {
        // A stream that throws on errors: a read error ends the input.
    }
    LoadBytes(bytes.data(), bytes.size());
}

void TxmlParser::LoadFromString(std::string_view text) { LoadBytes(text.data(), text.size()); }

namespace {

[[noreturn]] void ThrowFileError(const char* what, const AnsiString& fileName, int code) {
    throw EInOutError(AnsiString(what) + " file \"" + fileName + "\". " + std::strerror(code), code);
}

}  // namespace

void TxmlParser::LoadFromFile(const AnsiString& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) {
        int code = errno;
        if (code == ENOENT) return;  // a missing file leaves the empty tree
        ThrowFileError("Cannot open", fileName, code);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    // The whole file in one buffer, grown as it fills. A read error throws before anything changes: a
    // folder opens on some systems but cannot be read (a file that cannot be opened, not an empty one),
    // and a file cut off by an error must not pass for a shorter one.
    size_t capacity = 64 * 1024, size = 0;
    std::unique_ptr<char[]> bytes(new char[capacity]);
    for (;;) {
        if (size == capacity) {
            std::unique_ptr<char[]> grown(new char[2 * capacity]);
            std::memcpy(grown.get(), bytes.get(), size);
            bytes = std::move(grown);
            capacity *= 2;
        }
        size_t got = std::fread(bytes.get() + size, 1, capacity - size, file);
        size += got;
        if (got != 0) continue;
        if (!std::ferror(file)) break;
        int code = errno ? errno : EIO;
        ThrowFileError(size == 0 ? "Cannot open" : "Cannot read", fileName, code);
    }
    closer.reset();
    LoadBytes(bytes.get(), size);
}

TxmlNode* LoadXmlFile(const AnsiString& fileName) {
    TxmlParser parser;
    parser.LoadFromFile(fileName);
    return parser.TakeRoot();
}

TxmlNode* LoadXmlString(std::string_view text) {
    TxmlParser parser;
    parser.LoadFromString(text);
    return parser.TakeRoot();
}
