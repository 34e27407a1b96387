// The tolerant reader: a tokenizer that looks at the input byte by byte where the rules need it and takes
// runs of plain bytes at once. Names, attribute lines and texts go straight into the tree's storage,
// decoded on the way.
#include "xml/Reader.h"

#include <cstring>
#include <vector>

#include "xml/ByteSearch.h"
#include "xml/Decode.h"
#include "xml/NameCompare.h"
#include "xml/TreeStorage.h"
#include "platform/text.h"

namespace {

using namespace std::string_view_literals;

// NUL, TAB, LF, CR and space separate names and attributes.
inline bool IsBlank(char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// What ends the plain run of an attribute value: its closing quote, "&" and line breaks.
constexpr xmlscan::ByteSet kValueStops("\"&\r\n"sv);
// What ends a plain element name: blanks, ">", "?" and "/".
constexpr xmlscan::ByteSet kNameStops(">?/"sv, "\0\t\n\r "sv);
// What ends an attribute name: blanks, "=", the double quote, "/" and ">".
constexpr xmlscan::ByteSet kAttributeNameStops("=\"/>"sv, "\0\t\n\r "sv);
// What a text chunk looks at: a tag's "<", and "/" for "/>".
constexpr xmlscan::ByteSet kTextStops("</"sv);

// Cheap equality with a short literal.
template <size_t N>
inline bool Is(std::string_view s, const char (&literal)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), literal, N - 1) == 0;
}

enum TokenKind : unsigned char { xtStartTag, xtEndTag, xtComment, xtText, xtNone };

// Reads the whole input from memory. Names, texts and comments are runs of the input until they are
// copied into the storage; a start tag's name and attribute lines are written there as they are read.
class Reader {
public:
    Reader(std::string_view input, TxmlTreeStorage& storage)
        : pos_(input.data()), end_(input.data() + input.size()), storage_(storage) {}

    void BuildTree(TxmlNode* top) {
        open_.push_back({top, 0});
        try {
            ReadTokens(top);
        } catch (...) {
            CloseDownTo(nullptr);  // what was read so far stays a whole tree
            throw;
        }
        CloseDownTo(nullptr);
    }

private:
    void ReadTokens(TxmlNode* top) {
        ReadChar();
        TxmlNode* current = top;
        for (;;) {
            NextToken();
            switch (kind_) {
            case xtStartTag: {
                TxmlNode* child = NewChild(current);
                TxmlTreeStorage::Borrow(child->Name, tag_, nameSize_);
                if (lineCount_) TxmlTreeStorage::Borrow(child->Attributes, tag_ + nameSize_, tagSize_ - nameSize_, lineCount_);
                current = child;
                open_.push_back({child, children_.size()});
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
                CloseDownTo(current);
                break;
            case xtComment: {
                TxmlNode* comment = NewChild(current);
                comment->IsComment = true;
                storage_.CopyInto(comment->Value, text_);
                break;
            }
            case xtText:
                SetDecoded(current->Value, text_);
                break;
            case xtNone:
                return;
            }
        }
    }

    // A node of the storage below parent. It joins parent's list once parent is closed.
    TxmlNode* NewChild(TxmlNode* parent) {
        TxmlNode* child = new (storage_) TxmlNode();
        child->Parent = parent;
        children_.push_back(child);
        return child;
    }

    // Closes the open elements below node (all of them for none): each gets its list of children, in one
    // piece of the storage.
    void CloseDownTo(const TxmlNode* node) {
        while (!open_.empty() && open_.back().node != node) {
            OpenElement closed = open_.back();
            open_.pop_back();
            size_t count = children_.size() - closed.firstChild;
            if (count == 0) continue;
            if (count > UINT32_MAX) throw EListError("Too many child nodes");
            TxmlNode** list = storage_.AllocateChildren(count);
            std::memcpy(list, children_.data() + closed.firstChild, count * sizeof(TxmlNode*));
            TxmlTreeStorage::Borrow(closed.node->Children, list, count);
            children_.resize(closed.firstChild);
        }
    }

    // What the last chunk was: "<", "</", "/>", or text (in text_, possibly empty).
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

    // SkipRun up to the first byte of stops.
    void SkipTo(const xmlscan::ByteSet& stops) {
        const char* p = stops.Find(pos_, end_);
        if (p != pos_) {
            ch_ = p[-1];
            pos_ = p;
        }
    }

    // Text is a run of the input from ch_ up to a "<", a "/>" or the end; a "/" or ">" inside belongs to
    // it. Blanks before it are passed over. Called with no step pending other than the "/" of "/>".
    void NextChunk() {
        text_ = {};
        if (pending_ == Pending::Slash) {  // ch_ is on its ">"
            pending_ = Pending::None;
            ReadChar();
            chunk_ = Chunk::EmptyEnd;
            return;
        }
        chunk_ = Chunk::Text;
        const char* start = pos_ - 1;  // where ch_ is
        if (static_cast<unsigned char>(*start) <= 32) {
            pos_ = xmlscan::SkipControls(pos_, end_);
            if (!ReadChar()) return;
            start = pos_ - 1;
        }
        if (*start == '<') {
            chunk_ = Chunk::Open;
            if (ReadChar()) {
                if (ch_ == '/')
                    chunk_ = Chunk::Close;
                else
                    pending_ = Pending::NameByte;
            }
            return;
        }
        for (const char* p = start;; ++p) {
            p = kTextStops.Find(p, end_);
            if (p == end_) {  // the text runs to the end
                text_ = std::string_view(start, static_cast<size_t>(p - start));
                ch_ = p[-1];
                pos_ = p;
                eof_ = true;
                return;
            }
            if (*p == '<') {
                text_ = std::string_view(start, static_cast<size_t>(p - start));
                ch_ = '<';
                pos_ = p + 1;
                return;
            }
            if (p + 1 == end_) {  // a "/" that ends the input is dropped
                text_ = std::string_view(start, static_cast<size_t>(p - start));
                ch_ = '/';
                pos_ = end_;
                eof_ = true;
                return;
            }
            if (p[1] == '>') {
                text_ = std::string_view(start, static_cast<size_t>(p - start));
                ch_ = '>';
                pos_ = p + 2;
                pending_ = Pending::Slash;
                return;
            }
            // Any other "/" belongs to the text; the byte after it is looked at again.
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
        SkipTo(kNameStops);
        std::string_view name(begin, static_cast<size_t>(pos_ - begin));
        // "<br/>" is an empty element br; any other "/" ends the name and is skipped.
        if (ReadChar() && ch_ == '/' && ReadChar() && ch_ == '>') {
            pending_ = Pending::Slash;
            selfClosed_ = true;
        }
        return name;
    }

    // Called with ch_ on the opening double quote: passes the value and leaves ch_ on the byte after the
    // closing quote. With keep, adds the line name=value to the tag.
    void ReadQuotedValue(std::string_view name, bool keep) {
        const char* p = pos_;
        if (!keep) {
            p = static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(end_ - p)));
            if (!p) p = end_;
        } else {
            // One look at each byte finds the end of the value and what it holds besides plain bytes.
            ValueContent content;
            for (;; ++p) {
                p = kValueStops.Find(p, end_);
                if (p == end_ || *p == '"') break;
                if (*p != '&') {
                    content.lineBreak = true;
                } else {
                    content.reference = true;
                    if (end_ - p > 1 && p[1] == '#') content.numericReference = true;
                }
            }
            AddLine(name, std::string_view(pos_, static_cast<size_t>(p - pos_)), content);
        }
        if (p == end_) {  // no closing quote: the value runs to the end
            if (p != pos_) ch_ = p[-1];
            pos_ = end_;
            eof_ = true;
            return;
        }
        ch_ = '"';
        pos_ = p + 1;
        ReadChar();
    }

    // Room for size more bytes of the tag being written.
    char* TagRoom(size_t size) {
        if (static_cast<size_t>(storage_.PieceLimit() - (tag_ + tagSize_)) < size)
            tag_ = storage_.GrowPiece(tag_, tagSize_, size);
        return tag_ + tagSize_;
    }

    // What an attribute value holds besides plain bytes.
    struct ValueContent {
        bool lineBreak = false, reference = false, numericReference = false;
    };

    // Copies size bytes of the input; the tag has room for sixteen bytes more than it needs.
    void CopyRun(char* out, const char* in, size_t size) const {
#if defined(__SSE2__)
        if (size <= 16 && end_ - in >= 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
            return;
        }
#endif
        if (size) std::memcpy(out, in, size);
    }

    // Appends the line name=value to the tag, after its length, for a value of plain bytes.
    void AddPlainLine(std::string_view name, std::string_view value) {
        if (lineCount_ == UINT32_MAX) throw EListError("Too many attribute lines");
        size_t length = name.size() + 1 + value.size();
        size_t lengthSize = xmlline::LengthSize(length);
        char* at = xmlline::WriteLength(TagRoom(lengthSize + length + 16), length);
        CopyRun(at, name.data(), name.size());
        at[name.size()] = '=';
        CopyRun(at + name.size() + 1, value.data(), value.size());
        tagSize_ += lengthSize + length;
        ++lineCount_;
    }

    // Appends the line name=value to the tag, after its length: the value decoded, and its line breaks,
    // written or from a reference, as blanks.
    void AddLine(std::string_view name, std::string_view raw, ValueContent content) {
        if (lineCount_ == UINT32_MAX) throw EListError("Too many attribute lines");
        size_t most = name.size() + 1 + raw.size();
        size_t lengthSize = xmlline::LengthSize(most);
        char* at = TagRoom(lengthSize + most);
        char* line = at + lengthSize;
        if (!name.empty()) std::memcpy(line, name.data(), name.size());
        line[name.size()] = '=';
        char* value = line + name.size() + 1;
        char* end = content.reference ? WriteDecoded(raw, value) : value + raw.size();
        if (!content.reference && !raw.empty()) std::memcpy(value, raw.data(), raw.size());
        if (content.lineBreak || content.numericReference) {
            for (char* p = value; p != end; ++p)
                if (*p == '\r' || *p == '\n') *p = ' ';
        }
        size_t length = static_cast<size_t>(end - line);
        if (xmlline::LengthSize(length) != lengthSize) {  // decoding made the line short enough for a shorter length
            lengthSize = xmlline::LengthSize(length);
            std::memmove(at + lengthSize, line, length);
        }
        xmlline::WriteLength(at, length);
        tagSize_ += lengthSize + length;
        ++lineCount_;
    }

    // XmlDecode of raw into out, which has room for raw.size() bytes; returns the end of the result.
    static char* WriteDecoded(std::string_view raw, char* out) {
        if (char* end = xmldecode::DecodeReferences(raw, out)) return end;
        AnsiString replaced = xmldecode::ReplaceNamedReferences(raw);
        if (!replaced.empty()) std::memcpy(out, replaced.data(), replaced.size());
        return out + replaced.size();
    }

    // Reads the attributes of a tag up to its ">" (outside double quotes) into the tag. With keep false
    // they are only passed over. The usual form, name="value" pairs apart by blanks, is taken here in
    // runs; anything else goes on in ReadOddAttributes from a point where no name has begun.
    void ReadAttributes(bool keep) {
        const char* p = pos_ - 1;  // where ch_ is; pos_ and ch_ follow only when the walk leaves
        bool afterValue = false;
        for (;;) {
            if (IsBlank(*p)) {
                afterValue = false;
                do {
                    if (++p == end_) {
                        ch_ = end_[-1];
                        pos_ = end_;
                        eof_ = true;
                        return;
                    }
                } while (IsBlank(*p));
            }
            if (*p == '>') {
                ch_ = '>';
                pos_ = p + 1;
                ReadChar();
                return;
            }
            if (*p == '/' && end_ - p > 1 && p[1] == '>') {
                ch_ = '>';
                pos_ = p + 2;
                pending_ = Pending::Slash;  // the next chunk is "/>"
                return;
            }
            if (kAttributeNameStops.Has(*p)) break;
            const char* nameEnd = p + 1;  // names are short: a plain loop beats a search
            while (nameEnd != end_ && !kAttributeNameStops.Has(*nameEnd)) ++nameEnd;
            if (end_ - nameEnd < 2 || nameEnd[0] != '=' || nameEnd[1] != '"') break;
            std::string_view name(p, static_cast<size_t>(nameEnd - p));
            const char* value = nameEnd + 2;
            const char* quote = kValueStops.Find(value, end_);
            if (quote != end_ && *quote == '"') {
                if (keep) AddPlainLine(name, std::string_view(value, static_cast<size_t>(quote - value)));
                p = quote + 1;
                if (p == end_) {
                    ch_ = '"';
                    pos_ = end_;
                    eof_ = true;
                    return;
                }
            } else {  // a line break or a reference in the value, or no closing quote
                ch_ = '"';
                pos_ = value;
                ReadQuotedValue(name, keep);
                if (eof_) return;
                p = pos_ - 1;
            }
            afterValue = true;
        }
        ch_ = *p;
        pos_ = p + 1;
        ReadOddAttributes(keep, afterValue);
    }

    // The general walk over a tag's attributes, from ch_, with no name begun. Right after a value a double
    // quote is taken as part of a name, not as the start of another value.
    void ReadOddAttributes(bool keep, bool afterValue) {
        // The name read so far: a run of the input [nameBegin, nameEnd), or, once a skipped "/" broke the
        // run, gathered in attributeName_.
        const char* nameBegin = pos_;
        const char* nameEnd = pos_;
        bool gathered = false;
        bool separated = false;
        for (;;) {
            if (ch_ == '"' && !afterValue) {
                ReadQuotedValue(gathered ? std::string_view(attributeName_)
                                         : std::string_view(nameBegin, static_cast<size_t>(nameEnd - nameBegin)),
                                keep);
                nameBegin = nameEnd;
                gathered = false;
                separated = false;
                if (eof_) return;
                afterValue = true;
                continue;
            }
            afterValue = false;
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
                SkipTo(kAttributeNameStops);
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

    // Called with ch_ on the last "-" of "<!--": the comment's text, which ends at its first "-->".
    std::string_view ReadComment() {
        const char* start = pos_;
        for (const char* p = start; (p = static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end_ - p)))); ++p) {
            if (p - start >= 2 && p[-1] == '-' && p[-2] == '-') {
                ch_ = '>';
                pos_ = p + 1;
                ReadChar();
                return {start, static_cast<size_t>(p - 2 - start)};
            }
        }
        if (start != end_) ch_ = end_[-1];
        pos_ = end_;
        eof_ = true;
        return {start, static_cast<size_t>(end_ - start)};
    }

    // Reads a start tag after its name: the name and the attribute lines go into one piece of the storage.
    void ReadStartTag(std::string_view name) {
        tagSize_ = 0;
        tag_ = storage_.StartPiece(name.size() + 256);
        if (!name.empty()) std::memcpy(tag_, name.data(), name.size());
        nameSize_ = tagSize_ = name.size();
        if (!selfClosed_) ReadAttributes(true);
        tag_ = storage_.EndPiece(tag_, tagSize_);
    }

    // The usual tags, after blanks if any, at once: "<name" with its attributes, and "</name>", for a
    // name that neither starts with "?" or "!" nor holds a blank, ">", "?" or "/". The token and the
    // state after it are what NextChunk and ReadName would make of them. Anything else answers false
    // and changes nothing.
    bool ReadPlainTag() {
        const char* p = pos_ - 1;  // where ch_ is
        if (static_cast<unsigned char>(*p) <= 32) p = xmlscan::SkipControls(p + 1, end_);
        if (end_ - p < 3 || *p != '<' || p[1] == '?' || p[1] == '!') return false;
        if (p[1] == '/') {
            const char* name = p + 2;
            if (*name == '?' || *name == '!') return false;
            const char* stop = kNameStops.Find(name, end_);
            if (stop == name || stop == end_ || *stop != '>') return false;
            kind_ = xtEndTag;
            text_ = std::string_view(name, static_cast<size_t>(stop - name));
            ch_ = '>';
            pos_ = stop + 1;
            ReadChar();
            return true;
        }
        // The byte after "<" belongs to the name whatever it is.
        const char* name = p + 1;
        const char* stop = kNameStops.Find(name + 1, end_);
        if (end_ - stop < 2) return false;
        kind_ = xtStartTag;
        text_ = std::string_view(name, static_cast<size_t>(stop - name));
        selfClosed_ = stop[0] == '/' && stop[1] == '>';  // "<br/>" is an empty element br
        if (selfClosed_) {
            ch_ = '>';
            pos_ = stop + 2;
            pending_ = Pending::Slash;
        } else if (stop[0] == '/') {  // any other "/" ends the name and is skipped
            ch_ = stop[1];
            pos_ = stop + 2;
        } else {
            ch_ = stop[0];
            pos_ = stop + 1;
        }
        ReadStartTag(text_);
        return true;
    }

    // The next token: kind_, its text in text_ and, for a start tag, its piece in tag_.
    void NextToken() {
        kind_ = xtNone;
        endsEmptyElement_ = false;
        lineCount_ = 0;
        if (pending_ == Pending::None && !eof_ && ReadPlainTag()) return;
        while (!eof_ && kind_ == xtNone) {
            NextChunk();
            switch (chunk_) {
            case Chunk::Open:
                text_ = ReadName();
                if (Is(text_, "?") || Is(text_, "!")) {
                    ReadAttributes(false);  // declarations and document types are skipped
                } else if (Is(text_, "!--")) {
                    kind_ = xtComment;
                    text_ = ReadComment();
                } else {
                    kind_ = xtStartTag;
                    ReadStartTag(text_);
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
                text_ = platform::TrimControl(text_);
                if (!text_.empty()) kind_ = xtText;
                break;
            }
        }
    }

    // Points value at the decoded text, which goes into the storage.
    void SetDecoded(TxmlText& value, std::string_view text) {
        if (text.find('&') == std::string_view::npos) return storage_.CopyInto(value, text);
        char* at = storage_.StartPiece(text.size());
        size_t size = static_cast<size_t>(WriteDecoded(text, at) - at);
        TxmlTreeStorage::Borrow(value, storage_.EndPiece(at, size), size);
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
    std::string_view text_;  // the token's text, a run of the input
    // A start tag as written into the storage: its name, then its attribute lines, each after its length.
    char* tag_ = nullptr;
    size_t tagSize_ = 0;
    size_t nameSize_ = 0;
    uint32_t lineCount_ = 0;
    AnsiString attributeName_;  // an attribute name that is no run of the input
    // The elements from the top down to the current one, each with where its children begin in
    // children_, which holds the children of every open element until it is closed.
    struct OpenElement {
        TxmlNode* node;
        size_t firstChild;
    };
    std::vector<OpenElement> open_;
    std::vector<TxmlNode*> children_;
};

}  // namespace

void ReadXmlTree(std::string_view input, TxmlTreeStorage& storage, TxmlNode* top) { Reader(input, storage).BuildTree(top); }
