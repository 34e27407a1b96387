// The tolerant parser: a byte-at-a-time tokenizer over a buffered source that builds the tree as it goes.
#include "xml/Parser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "xml/NameCompare.h"

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

// Where the bytes come from; Fill returns 0 at the end of the input and raises EInOutError on a read
// error, so that a file cut short by a failing disk is never taken for a whole one.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual size_t Fill(char* buffer, size_t capacity) = 0;
};

class FileSource : public ByteSource {
public:
    FileSource(std::FILE* file, const AnsiString& fileName) : file_(file), fileName_(fileName) {}
    size_t Fill(char* buffer, size_t capacity) override {
        if (std::feof(file_)) return 0;
        errno = 0;
        const size_t got = std::fread(buffer, 1, capacity, file_);
        if (got < capacity && std::ferror(file_)) {
            const int code = errno ? errno : EIO;
            throw EInOutError("Cannot read file \"" + fileName_ + "\". " + platform::SystemErrorText(code), code);
        }
        return got;
    }

private:
    std::FILE* file_;
    const AnsiString& fileName_;
};

class StreamSource : public ByteSource {
public:
    explicit StreamSource(std::istream& stream) : stream_(stream) {}
    size_t Fill(char* buffer, size_t capacity) override {
        if (stream_.eof()) return 0;
        try {
            stream_.read(buffer, static_cast<std::streamsize>(capacity));
        } catch (...) {
            // A stream that throws on its state bits: they tell an error (bad) from the end (eof, fail).
        }
        if (stream_.bad()) throw EInOutError("Stream read error", 0);
        return static_cast<size_t>(stream_.gcount());
    }

private:
    std::istream& stream_;
};

enum TokenKind : unsigned char { xtStartTag, xtEndTag, xtComment, xtText, xtNone };

struct Token {
    TokenKind Kind = xtNone;
    AnsiString Text;
    std::vector<AnsiString> Attributes;  // name=value lines, values decoded
};

}  // namespace

class TxmlParser::Reader {
public:
    // A source of nullptr reads only the bytes in [data, data + size).
    Reader(ByteSource* source, const char* data, size_t size) : source_(source), pos_(data), end_(data + size) {
        if (source_) buffer_.reset(new char[kBufferSize]);
    }

    // Builds the tree below top from the input.
    void BuildTree(TxmlNode* top) {
        ReadChar();
        TxmlNode* current = top;
        Token token;
        for (;;) {
            NextToken(token);
            switch (token.Kind) {
            case xtStartTag: {
                TxmlNode* child = new (pool_) TxmlNode(current);
                child->Name = std::move(token.Text);
                child->Attributes.Lines().swap(token.Attributes);
                current = child;
                break;
            }
            case xtEndTag:
                if (Is(token.Text, "/>")) {
                    current = current->Parent;
                } else if (!token.Text.empty()) {  // "</>" is passed over
                    TxmlNode* open = current;
                    while (open && !xmlname::SameElementName(open->Name, token.Text)) open = open->Parent;
                    current = open ? open->Parent : nullptr;
                }
                if (!current) current = top;
                break;
            case xtComment: {
                TxmlNode* comment = new (pool_) TxmlNode(current);
                comment->IsComment = true;
                comment->Value = std::move(token.Text);
                break;
            }
            case xtText:
                XmlDecodeTo(token.Text, current->Value);
                break;
            case xtNone:
                return;
            }
        }
    }

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    bool Refill() {
        if (!source_) return false;
        size_t n = source_->Fill(buffer_.get(), kBufferSize);
        if (n == 0) {
            source_ = nullptr;
            return false;
        }
        pos_ = buffer_.get();
        end_ = pos_ + n;
        return true;
    }

    // Reads one byte into ch_; at the end of the input sets eof_ (ch_ stays) and answers false.
    bool ReadChar() {
        if (eof_) return false;
        if (pos_ == end_ && !Refill()) {
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

    AnsiString NextChunk() {
        AnsiString s;
        s.swap(pending_);
        for (;;) {
            switch (ch_) {
            case '<':
                if (!s.empty()) return s;
                s = "<";
                if (ReadChar()) {
                    if (ch_ == '/')
                        s = "</";
                    else
                        pending_.assign(1, ch_);
                }
                return s;
            case '/':
                if (!ReadChar()) return s;
                if (ch_ == '>') {
                    pending_ = "/";
                    return s;
                }
                // Text keeps the "/"; whatever follows is looked at again, so a tag right after it is a tag.
                s.push_back('/');
                continue;
            case '>':
                if (Is(s, "/")) {
                    ReadChar();
                    return "/>";
                }
                // A ">" inside text is part of the text.
                s.push_back('>');
                if (!ReadChar()) return s;
                continue;
            default:
                if (s.empty() && static_cast<unsigned char>(ch_) <= 32) {
                    // Blanks before any text would be trimmed from it anyway: the line breaks and
                    // indentation between tags are passed over without being copied.
                    while (pos_ != end_ && static_cast<unsigned char>(*pos_) <= 32) ++pos_;
                    if (!ReadChar()) return s;
                    continue;
                }
                s.push_back(ch_);
                TakeRun(s, [](char c) { return c == '<' || c == '/' || c == '>'; });
                if (!ReadChar()) return s;
                continue;
            }
        }
    }

    AnsiString ReadName() {
        AnsiString s;
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
        return s;
    }

    // Called with ch_ on the opening double quote: appends the value's bytes to out, each CR and LF as a
    // blank, and leaves ch_ on the byte after the closing quote. Answers whether the value holds an "&".
    bool ReadQuotedValueInto(AnsiString& out) {
        size_t from = out.size();
        for (;;) {
            if (pos_ == end_ && !Refill()) {
                eof_ = true;
                break;
            }
            const void* quote = std::memchr(pos_, '"', static_cast<size_t>(end_ - pos_));
            const char* stop = quote ? static_cast<const char*>(quote) : end_;
            if (stop != pos_) {
                out.append(pos_, static_cast<size_t>(stop - pos_));
                ch_ = stop[-1];
            }
            pos_ = stop;
            if (quote) {
                ch_ = *pos_++;
                break;
            }
        }
        bool ampersand = BlankLineBreaks(out.data() + from, out.data() + out.size());
        ReadChar();
        return ampersand;
    }

    // Bytes that end an attribute name: blanks, "=", the double quote, "/" and ">".
    static bool EndsAttributeName(char c) {
        return IsBlank(c) || c == '=' || c == '"' || c == '/' || c == '>';
    }

    // Reads the attributes of a tag up to its ">" (outside double quotes). With lines null they are only
    // passed over.
    void ReadAttributes(std::vector<AnsiString>* lines) {
        AnsiString name;
        bool separated = false;
        for (;;) {
            if (ch_ == '"') {
                AnsiString line = name;
                line.push_back('=');
                size_t valueStart = line.size();
                bool needsDecoding = ReadQuotedValueInto(line);
                if (lines) {
                    if (needsDecoding) {
                        XmlDecodeTo(std::string_view(line).substr(valueStart), decoded_);
                        // A numeric reference to a line break gives a blank, as a literal one does.
                        BlankLineBreaks(decoded_.data(), decoded_.data() + decoded_.size());
                        line.resize(valueStart);
                        line.append(decoded_);
                    }
                    if (lines->empty()) lines->reserve(2);  // most elements carry one to two attributes
                    lines->push_back(std::move(line));
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

    // Called with ch_ on the last "-" of "<!--"; the comment ends at its first "-->".
    AnsiString ReadComment() {
        AnsiString text;
        while (ReadChar()) {
            if (ch_ == '>' && text.size() >= 2 && text[text.size() - 1] == '-' && text[text.size() - 2] == '-') {
                text.resize(text.size() - 2);
                break;
            }
            text.push_back(ch_);
            TakeRun(text, [](char c) { return c == '>'; });
        }
        ReadChar();
        return text;
    }

    void NextToken(Token& token) {
        token.Kind = xtNone;
        token.Text.clear();
        token.Attributes.clear();
        while (!eof_ && token.Kind == xtNone) {
            AnsiString chunk = NextChunk();
            if (Is(chunk, "<")) {
                token.Text = ReadName();
                if (Is(token.Text, "?") || Is(token.Text, "!")) {
                    ReadAttributes(nullptr);  // declarations and document types are skipped
                } else if (Is(token.Text, "!--")) {
                    token.Kind = xtComment;
                    token.Text = ReadComment();
                } else {
                    token.Kind = xtStartTag;
                    if (!selfClosed_) ReadAttributes(&token.Attributes);
                }
            } else if (Is(chunk, "/>")) {
                token.Kind = xtEndTag;
                token.Text = "/>";
            } else if (Is(chunk, "</")) {
                token.Kind = xtEndTag;
                token.Text = ReadName();
                if (selfClosed_) pending_.clear();  // "</a/>" is the end tag of a
                ReadAttributes(nullptr);
            } else {
                std::string_view text = TrimControl(chunk);
                if (!text.empty()) {
                    token.Kind = xtText;
                    token.Text.assign(text);
                }
            }
        }
    }

    ByteSource* source_;
    TxmlNodePool pool_;
    std::unique_ptr<char[]> buffer_;
    const char* pos_;
    const char* end_;
    char ch_ = 0;
    bool eof_ = false;
    bool selfClosed_ = false;
    AnsiString pending_;
    AnsiString decoded_;  // reused for every attribute value that needs decoding
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

namespace {

// Replaces *root by a new top node, destroying the old one (its trace line is written) unless it now
// belongs to another tree.
void RenewRoot(TxmlNode*& root) {
    TxmlNode* fresh = NewRoot();
    TxmlNode* old = root;
    root = fresh;
    if (old && !old->Parent) DestroyNode(old);
}

// Builds a fresh tree with build. A read error leaves an empty tree behind, not the part read so far.
template <class Build>
void BuildFresh(TxmlNode*& root, Build build) {
    RenewRoot(root);
    try {
        build(root);
    } catch (...) {
        RenewRoot(root);
        throw;
    }
}

}  // namespace

void TxmlParser::LoadFromStream(std::istream& stream) {
    StreamSource source(stream);
    BuildFresh(root_, [&](TxmlNode* top) { Reader(&source, nullptr, 0).BuildTree(top); });
}

void TxmlParser::LoadFromString(std::string_view text) {
    RenewRoot(root_);
    Reader(nullptr, text.data(), text.size()).BuildTree(root_);
}

void TxmlParser::LoadFromFile(const AnsiString& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) {
        int code = errno;
        if (code == ENOENT) return;  // a missing file leaves the empty tree
        throw EInOutError("Cannot open file \"" + fileName + "\". " + platform::SystemErrorText(code), code);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    FileSource source(file, fileName);
    // The first block is read before the tree is renewed: a folder opens on some systems but cannot be
    // read, and must leave the parser's tree as it was.
    std::unique_ptr<char[]> first(new char[64 * 1024]);
    size_t got = source.Fill(first.get(), 64 * 1024);
    BuildFresh(root_, [&](TxmlNode* top) { Reader(&source, first.get(), got).BuildTree(top); });
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
