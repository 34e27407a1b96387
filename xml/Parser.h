#pragma once
// The XML document: the tolerant parser that builds a TxmlNode tree from a file. Including this header
// gives the whole XML unit: the tree (Node.h), the writer (Writer.h) and the tree queries (Query.h).
//
// The parser reads the whole input into memory, then looks at it byte by byte, and never rejects input:
// malformed XML gives the tree the rules below lead to. The file's elements hang below a top node named "Root" that is not part of
// the file. Bytes pass through unchanged; an encoding named in a declaration is ignored.
//
// What is read:
//  - Start tags with attributes name="value" (double quotes only; a name without a quoted value is
//    dropped, a value without a name gives a line with an empty name). Inside a value each CR and LF, and
//    each numeric reference to them, becomes a blank; the value is decoded by XmlDecode.
//  - "<x />", "<x/>" and "<x a="1"/>" are empty elements. A "/" inside a tag that is not followed by ">"
//    is skipped.
//  - End tags close the nearest open element of that name (ASCII case folding) and everything opened
//    inside it; an end tag matching no open element returns to the top node; "</>" is passed over.
//    Elements left open stay in the tree.
//  - Element text is trimmed of bytes up to blank (code 32 and lower) on both ends and decoded; a later
//    text of the same element replaces an earlier one (for <a>x<b />y</a> the text of a is y). A ">" or
//    a "/" inside text belongs to the text.
//  - "<!-- ... -->" gives a comment node below the current element, its text kept as it is (not trimmed,
//    not decoded); a comment ends at its first "-->". An empty comment gives a comment node with an empty
//    text (which the writer leaves out).
//  - "<?...>" and "<!...>" (declarations, document types) are skipped up to the first ">" outside double
//    quotes.
#include <istream>
#include <string_view>

#include "xml/Node.h"
#include "xml/Query.h"
#include "xml/Writer.h"

// Builds a tree from one source. Made, used for one file and destroyed; the tree changes hands with
// TakeRoot (or LoadXmlFile).
class TxmlParser {
public:
    // Creates the top node "Root" (no parent).
    TxmlParser();
    TxmlParser(const TxmlParser&) = delete;
    TxmlParser& operator=(const TxmlParser&) = delete;
    // Releases the parser. A tree still held (not taken, not attached elsewhere) is destroyed with it.
    ~TxmlParser();

    // The top node of the tree built so far.
    TxmlNode* Root() const noexcept { return root_; }
    // Hands the tree over: the caller owns the returned top node; the parser forgets it.
    TxmlNode* TakeRoot() noexcept;

    // When the file exists: opens it for reading (others may read and write it meanwhile), reads it with
    // LoadFromStream and closes it. A missing file does nothing. A file that exists but cannot be opened
    // or read throws EInOutError and leaves the tree as it was: a file cut short by a failing disk never
    // passes for a shorter one.
    void LoadFromFile(const AnsiString& fileName);
    // Destroys the current top node (its trace line is written), makes a new "Root" and builds the tree
    // from the stream's bytes up to its end. A failing read (the stream goes bad) throws EInOutError before
    // anything changes.
    void LoadFromStream(std::istream& stream);
    // As LoadFromStream over the bytes of text.
    void LoadFromString(std::string_view text);

private:
    // Replaces the tree by the one read from the bytes.
    void LoadBytes(const char* data, size_t size);
    TxmlNode* root_;
};

// File names are handed to the system as they are: ANSI bytes on Windows, the system's own form on Linux
// (callers convert with platform::NativePath).
// Reads fileName into a new tree and returns its top node "Root"; the caller owns it (hold it in a
// TxmlTree, or release it with DestroyNode). A missing file gives a "Root" without children, attributes
// or text. A file that exists but cannot be opened or read to its end throws EInOutError and returns no
// tree.
TxmlNode* LoadXmlFile(const AnsiString& fileName);
// As LoadXmlFile over the bytes of text.
TxmlNode* LoadXmlString(std::string_view text);

// Unescapes element text and attribute values:
//  1. Every "&gt;", then every "&gt" becomes ">" (so "&gt" decodes with or without ";").
//  2. From left to right: "&amp;" gives "&", "&lt;" gives "<", "&quot;" gives a double quote, "&#"
//     decimal digits ";" gives the byte with that number modulo 256; other bytes are copied.
//  3. Any other "&" form (a bare "&", "&apos;", "&#x41;", "&#65" without ";", "&" at the end) makes the
//     whole text invalid. Then the result is made from the original text by four replace-all passes
//     instead: "&quot;" to a double quote, then "&lt;" to "<", then "&gt;" to ">", then "&amp;" to "&".
//     Numeric references and "&gt" without ";" stay as they are in that case.
// Examples: "a&gtb" gives "a>b"; "&#65;" and "&#321;" give "A"; "a &amp; b & c" gives "a & b & c".
AnsiString XmlDecode(std::string_view text);
