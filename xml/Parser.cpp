// The tolerant parser: a byte-at-a-time tokenizer over a buffered source that builds the tree as it goes.
#include "xml/Parser.h"

#include <algorithm>
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

// Bytes that end the plain run of an attribute value: its closing quote, line breaks and "&".
struct ValueBytes {
    bool special[256] = {};
    constexpr ValueBytes() {
        special[static_cast<unsigned char>('"')] = special[static_cast<unsigned char>('&')] = true;
        special[static_cast<unsigned char>('\r')] = special[static_cast<unsigned char>('\n')] = true;
    }
};
constexpr ValueBytes kValueBytes;

// Bytes that end a plain element name: blanks, ">", "?" and "/".
struct NameBytes {
    bool stop[256] = {};
    constexpr NameBytes() {
        for (char c : {'\0', '\t', '\n', '\r', ' ', '>', '?', '/'}) stop[static_cast<unsigned char>(c)] = true;
    }
};
constexpr NameBytes kNameBytes;

// Cheap equality with a short literal; the reader asks this for every byte of a name.
template <size_t N>
inline bool Is(std::string_view s, const char (&literal)[N]) {
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

// Decodes step 2 into out, which has room for t.size() bytes (the result is never longer). Returns the end
// of the result, or nullptr when an "&" form is not one of the decodable ones.
char* DecodeReferences(std::string_view t, char* out) {
    const char* p = t.data();
    const char* end = p + t.size();
    while (p < end) {
        char c = *p++;
        if (c != '&') {
            *out++ = c;
            continue;
        }
        std::string_view rest(p, static_cast<size_t>(end - p));
        if (StartsWith(rest, 0, "amp;")) {
            *out++ = '&';
            p += 4;
        } else if (StartsWith(rest, 0, "lt;")) {
            *out++ = '<';
            p += 3;
        } else if (StartsWith(rest, 0, "quot;")) {
            *out++ = '"';
            p += 5;
        } else if (p < end && *p == '#') {
            const char* digit = p + 1;
            unsigned value = 0;
            while (digit < end && *digit >= '0' && *digit <= '9') value = (value * 10 + unsigned(*digit++ - '0')) % 256;
            if (digit == p + 1 || digit >= end || *digit != ';') return nullptr;
            *out++ = static_cast<char>(value);
            p = digit + 1;
        } else {
            return nullptr;
        }
    }
    return out;
}

// DecodeReferences into out (replacing its content); false when the text is not decodable as a whole.
bool DecodeReferencesTo(std::string_view t, AnsiString& out) {
    out.resize(t.size());
    char* end = DecodeReferences(t, out.data());
    out.resize(end ? static_cast<size_t>(end - out.data()) : 0);
    return end != nullptr;
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
                     ? DecodeReferencesTo(text, out)
                     : DecodeReferencesTo(ReplaceAll(ReplaceAll(text, "&gt;", ">"), "&gt", ">"), out);
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

// A buffer that grows without clearing what it adds: the reader writes attribute lines into it.
class LineBuffer {
public:
    char* data() noexcept { return data_.get(); }
    size_t size() const noexcept { return size_; }
    void clear() noexcept { size_ = 0; }
    void resize(size_t size) noexcept { size_ = size; }  // only to shrink
    // Room for n more bytes; returns where they start.
    char* Extend(size_t n) {
        if (capacity_ - size_ < n) {
            size_t grown = std::max(2 * capacity_, size_ + n);
            std::unique_ptr<char[]> bigger(new char[grown]);
            if (size_) std::memcpy(bigger.get(), data_.get(), size_);
            data_ = std::move(bigger);
            capacity_ = grown;
        }
        char* at = data_.get() + size_;
        size_ += n;
        return at;
    }

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0, capacity_ = 0;
};

// Reads the whole input from memory. Names point into the input; texts and attribute lines are gathered
// in buffers the reader reuses. Everything a node keeps is copied once into the tree's storage, so that a
// node costs no heap block of its own.
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
                // The name and the attribute lines side by side in one piece of the storage.
                char* name = storage_.AllocateText(text_.size() + lines_.size());
                char* lines = name + text_.size();
                if (!text_.empty()) std::memcpy(name, text_.data(), text_.size());
                TxmlTreeStorage::Borrow(child->Name, name, text_.size());
                if (lineCount_) {
                    std::memcpy(lines, lines_.data(), lines_.size());
                    TxmlTreeStorage::Borrow(child->Attributes, lines, lines_.size(), lineCount_);
                }
                current = child;
                break;
            }
            case xtEndTag:
                if (endsEmptyElement_) {
                    current = current->Parent;
                } else if (!text_.empty()) {  // "</>" is passed over
                    TxmlNode* open = current;
                    while (open && !xmlname::SameElementName(open->Name, text_)) open = open->Parent;
                    current = open ? open->Parent : nullptr;
                }
                if (!current) current = top;
                break;
            case xtComment: {
                TxmlNode* comment = new (storage_) TxmlNode(current);
                comment->IsComment = true;
                storage_.CopyInto(comment->Value, text_);
                break;
            }
            case xtText:
                if (text_.find('&') == std::string_view::npos) {
                    storage_.CopyInto(current->Value, text_);
                } else {
                    XmlDecodeTo(text_, decoded_);
                    storage_.CopyInto(current->Value, decoded_);
                }
                break;
            case xtNone:
                return;
            }
        }
    }

private:
    // What the last chunk was: "<", "</", "/>", or text (in chunkText_, possibly empty).
    enum class Chunk : unsigned char { Open, Close, EmptyEnd, Text };
    // What one step left for the next: nothing, the first byte of a name (the byte before pos_), or the
    // "/" of "/>" (with ch_ on the ">").
    enum class Pending : unsigned char { None, NameByte, Slash };

    // Reads one byte into ch_; at the end of the input sets eof_ (ch_ stays) and answers false.
    bool ReadChar() {
        if (pos_ == end_) {
            eof_ = true;
            return false;
        }
        ch_ = *pos_++;
        return true;
    }

    // Moves pos_ past the bytes for which stop is false, as if each had been read with ReadChar.
    template <class Stop>
    void SkipRun(Stop stop) {
        const char* p = pos_;
        while (p < end_ && !stop(*p)) ++p;
        if (p != pos_) {
            ch_ = p[-1];
            pos_ = p;
        }
    }

    // Takes the bytes SkipRun passes over into s.
    template <class Stop>
    void TakeRun(AnsiString& s, Stop stop) {
        const char* from = pos_;
        SkipRun(stop);
        s.append(from, static_cast<size_t>(pos_ - from));
    }

    void NextChunk() {
        AnsiString& s = chunkText_;
        s.clear();
        Pending pending = pending_;
        pending_ = Pending::None;
        if (pending == Pending::Slash) {
            if (ch_ == '>') {
                ReadChar();
                chunk_ = Chunk::EmptyEnd;
                return;
            }
            s.push_back('/');
        } else if (pending == Pending::NameByte) {
            s.push_back(pos_[-1]);
        }
        chunk_ = Chunk::Text;
        for (;;) {
            switch (ch_) {
            case '<':
                if (!s.empty()) return;
                chunk_ = Chunk::Open;
                if (ReadChar()) {
                    if (ch_ == '/')
                        chunk_ = Chunk::Close;
                    else
                        pending_ = Pending::NameByte;
                }
                return;
            case '/':
                if (!ReadChar()) return;
                if (ch_ == '>') {
                    pending_ = Pending::Slash;
                    return;
                }
                // Text keeps the "/"; whatever follows is looked at again, so a tag right after it is a tag.
                s.push_back('/');
                continue;
            case '>':
                if (Is(s, "/")) {
                    ReadChar();
                    chunk_ = Chunk::EmptyEnd;
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

    // The name after "<" or "</": every byte of it is appended right after the one before, so it is a
    // run of the input, [begin, end).
    std::string_view ReadName() {
        const char* begin = pos_;
        const char* end = pos_;
        selfClosed_ = false;
        if (pending_ == Pending::NameByte) {
            begin = pos_ - 1;
            if (*begin != '?' && *begin != '!') return ReadPlainName(begin);
        }
        pending_ = Pending::None;
        while (ReadChar()) {
            char c = ch_;
            size_t length = static_cast<size_t>(end - begin);
            if (c == '?') {
                if (length == 0) end = pos_;  // the name "?"
                break;
            }
            if (c == '-') {
                end = pos_;
                if (end - begin == 3 && std::memcmp(begin, "!--", 3) == 0) break;
                continue;
            }
            if (IsBlank(c) || c == '>') break;
            if (length == 1 && (*begin == '?' || *begin == '!')) break;
            if (c != '/') {
                end = pos_;
                // Plain name bytes need none of the checks above once the name is longer than "!".
                if (end - begin > 1 && *begin != '?' && *begin != '!') {
                    SkipRun([](char b) { return IsBlank(b) || b == '>' || b == '/' || b == '?' || b == '-'; });
                    end = pos_;
                }
                continue;
            }
            // "<br/>" is an empty element br; any other "/" ends the name and is skipped.
            if (ReadChar() && ch_ == '>') {
                pending_ = Pending::Slash;
                selfClosed_ = true;
            }
            break;
        }
        return {begin, static_cast<size_t>(end - begin)};
    }

    // ReadName for a name whose first byte, before pos_, is neither "?" nor "!": the name runs to the first
    // blank, ">", "?" or "/", which is read and ends it.
    std::string_view ReadPlainName(const char* begin) {
        pending_ = Pending::None;
        SkipRun([](char b) { return kNameBytes.stop[static_cast<unsigned char>(b)]; });
        std::string_view name(begin, static_cast<size_t>(pos_ - begin));
        // "<br/>" is an empty element br; any other "/" ends the name and is skipped.
        if (ReadChar() && ch_ == '/' && ReadChar() && ch_ == '>') {
            pending_ = Pending::Slash;
            selfClosed_ = true;
        }
        return name;
    }

    // Called with ch_ on the opening double quote: passes the value and leaves ch_ on the byte after the
    // closing quote. With keep, adds the line name=value to lines_, each CR and LF of the value as a blank
    // and the value decoded.
    void ReadQuotedValue(std::string_view name, bool keep) {
        // Most values hold no line break and no reference: they are copied as they are.
        const char* p = pos_;
        while (p < end_ && !kValueBytes.special[static_cast<unsigned char>(*p)]) ++p;
        size_t plain = static_cast<size_t>(p - pos_);
        const char* quote = p < end_ && *p == '"' ? p : static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(end_ - p)));
        const char* stop = quote ? quote : end_;
        if (keep) AddLine(name, std::string_view(pos_, static_cast<size_t>(stop - pos_)), plain);
        if (stop != pos_) ch_ = stop[-1];
        pos_ = stop;
        if (quote)
            ch_ = *pos_++;
        else
            eof_ = true;
        ReadChar();
    }

    // Appends the line name=value to lines_ after its length; past the first plain bytes of the value, its
    // line breaks are blanked and its references decoded.
    void AddLine(std::string_view name, std::string_view raw, size_t plain) {
        if (lineCount_ == UINT32_MAX) throw EListError("Too many attribute lines");
        size_t start = lines_.size();
        size_t length = name.size() + 1 + raw.size();
        char* at = xmlline::WriteLength(lines_.Extend(xmlline::LengthSize(length) + length), length);
        std::memcpy(at, name.data(), name.size());
        at[name.size()] = '=';
        char* value = at + name.size() + 1;
        if (!raw.empty()) std::memcpy(value, raw.data(), raw.size());
        ++lineCount_;
        if (plain == raw.size()) return;
        char* rest = value + plain;
        size_t left = raw.size() - plain;
        for (char lineBreak : {'\r', '\n'})
            for (char* p = rest; (p = static_cast<char*>(std::memchr(p, lineBreak, left - static_cast<size_t>(p - rest))));)
                *p = ' ';
        if (!std::memchr(rest, '&', left)) return;
        XmlDecodeTo(std::string_view(value, raw.size()), decoded_);
        // A numeric reference to a line break gives a blank, as a literal one does.
        BlankLineBreaks(decoded_.data(), decoded_.data() + decoded_.size());
        length = name.size() + 1 + decoded_.size();
        lines_.resize(start);
        at = xmlline::WriteLength(lines_.Extend(xmlline::LengthSize(length) + length), length);
        std::memcpy(at, name.data(), name.size());
        at[name.size()] = '=';
        if (!decoded_.empty()) std::memcpy(at + name.size() + 1, decoded_.data(), decoded_.size());
    }

    // Bytes that end an attribute name: blanks, "=", the double quote, "/" and ">".
    static bool EndsAttributeName(char c) {
        return IsBlank(c) || c == '=' || c == '"' || c == '/' || c == '>';
    }

    // Reads the attributes of a tag up to its ">" (outside double quotes) into lines_. With keep false
    // they are only passed over.
    void ReadAttributes(bool keep) {
        // The name read so far: a run of the input [nameBegin, nameEnd), or, once a skipped "/" broke the
        // run, gathered in attributeName_.
        const char* nameBegin = pos_;
        const char* nameEnd = pos_;
        bool gathered = false;
        bool separated = false;
        for (;;) {
            if (ch_ == '"') {
                ReadQuotedValue(gathered ? std::string_view(attributeName_)
                                         : std::string_view(nameBegin, static_cast<size_t>(nameEnd - nameBegin)),
                                keep);
                nameBegin = nameEnd;
                gathered = false;
                separated = false;
                if (eof_) return;
            }
            if (ch_ == '/') {
                if (!ReadChar()) return;
                if (ch_ == '>') {
                    pending_ = Pending::Slash;  // the next chunk is "/>"
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
                SkipRun([](char c) { return !IsBlank(c) && c != '='; });  // more of them change nothing
            } else {
                if (separated) {
                    nameBegin = nameEnd;
                    gathered = false;
                    separated = false;
                }
                const char* at = pos_ - 1;  // where ch_ is
                if (!gathered && nameBegin == nameEnd) {
                    nameBegin = at;
                } else if (!gathered && nameEnd != at) {
                    attributeName_.assign(nameBegin, nameEnd);
                    gathered = true;
                }
                const char* from = gathered ? at : pos_;
                SkipRun(EndsAttributeName);
                if (gathered)
                    attributeName_.append(from, pos_);
                else
                    nameEnd = pos_;
                // The usual name="value": the "=" separates, and the quote is looked at next.
                if (end_ - pos_ >= 2 && pos_[0] == '=' && pos_[1] == '"') {
                    pos_ += 2;
                    ch_ = '"';
                    separated = true;
                    continue;
                }
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

    // The next token: kind_, its text in text_ and, for a start tag, its attribute lines in lines_.
    void NextToken() {
        kind_ = xtNone;
        text_ = {};
        endsEmptyElement_ = false;
        lines_.clear();
        lineCount_ = 0;
        while (!eof_ && kind_ == xtNone) {
            NextChunk();
            switch (chunk_) {
            case Chunk::Open:
                text_ = ReadName();
                if (Is(text_, "?") || Is(text_, "!")) {
                    ReadAttributes(false);  // declarations and document types are skipped
                } else if (Is(text_, "!--")) {
                    kind_ = xtComment;
                    ReadComment();
                    text_ = comment_;
                } else {
                    kind_ = xtStartTag;
                    if (!selfClosed_) ReadAttributes(true);
                }
                break;
            case Chunk::EmptyEnd:
                kind_ = xtEndTag;
                endsEmptyElement_ = true;
                break;
            case Chunk::Close:
                kind_ = xtEndTag;
                text_ = ReadName();
                if (selfClosed_) pending_ = Pending::None;  // "</a/>" is the end tag of a
                ReadAttributes(false);
                break;
            case Chunk::Text:
                text_ = TrimControl(chunkText_);
                if (!text_.empty()) kind_ = xtText;
                break;
            }
        }
    }

    const char* pos_;
    const char* end_;
    TxmlTreeStorage& storage_;
    char ch_ = 0;
    bool eof_ = false;
    bool selfClosed_ = false;
    bool endsEmptyElement_ = false;
    Pending pending_ = Pending::None;
    Chunk chunk_ = Chunk::Text;
    TokenKind kind_ = xtNone;
    std::string_view text_;  // the token's text: in the input or in one of the buffers below
    AnsiString chunkText_;
    AnsiString comment_;
    AnsiString attributeName_;  // an attribute name that is no run of the input
    AnsiString decoded_;
    LineBuffer lines_;  // a start tag's attribute lines, each after its length
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
        // A stream that throws on its state bits: they tell an error (bad) from the end (eof, fail).
    }
    // A stream cut off by an error must not pass for a shorter one; the tree stays as it was.
    if (stream.bad()) throw EInOutError("Stream read error", 0);
    LoadBytes(bytes.data(), bytes.size());
}

void TxmlParser::LoadFromString(std::string_view text) { LoadBytes(text.data(), text.size()); }

namespace {

[[noreturn]] void ThrowFileError(const char* what, const AnsiString& fileName, int code) {
    throw EInOutError(AnsiString(what) + " file \"" + fileName + "\". " + std::strerror(code), code);
}

}  // namespace

namespace {

// The size of an open file as its end's offset, for the first buffer; 64 KiB when it has none that
// makes sense (a folder, a pipe, a file past 1 GiB grows its buffer as it is read).
size_t SizeHint(std::FILE* file) {
    constexpr long kMost = 1L << 30;
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::rewind(file);  // also clears the error state a failed seek may leave
    return size > 0 && size < kMost ? static_cast<size_t>(size) : 64 * 1024;
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
    size_t capacity = SizeHint(file) + 1, size = 0;  // one more, so that the end shows without growing
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
        ThrowFileError("Cannot read", fileName, code);
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
