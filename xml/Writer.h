#pragma once
// The XML writer: saves a TxmlNode tree as line-based XML text that the parser reads back into the
// same tree.
//
// The node given to the writer is a container: only its children and their subtrees are written, never
// the node itself. The output, every line followed by CR LF (the last one too):
//   <?xml version="1.0"?>                       (with an encoding: <?xml version="1.0" encoding="NAME"?>)
//   <!-- created by Velmora XML package -->
//   the lines of each child at depth 1, in order.
// Line forms for a node at depth d (indentation 2*d blanks):
//   no children, empty Value            <Name a="1" />
//   element, no children, with Value    <Name a="1">escaped value</Name>
//   comment with a Value                <!--value-->   at the start of the line, not escaped
//   children                            <Name> (or <Name a="1" > with attributes), then the escaped Value
//                                       if any on the same line; the children at d+1; </Name>
// Attributes are written in list order; each name is written with the value that a lookup by that name
// finds, so two lines with the same name both carry the first one's value. A node that would give "< />"
// (no name, attributes, children or value; an empty comment included) gives no line. A node whose Value
// is exactly " created by Velmora XML package " (the header comment read back) is skipped with its
// subtree, so a re-read file keeps one header comment. Names and comment texts are never escaped.
//
// Save, load and save again gives the same bytes when no element text has outer blanks and no attribute
// value holds a line break.
#include <ostream>
#include <string_view>

#include "xml/Node.h"

// Writes the lines to the stream through a buffer, in large pieces. A failing write throws EInOutError
// ("Stream write error"); what was written before stays in the stream.
void SaveXmlStream(const TxmlNode* container, std::ostream& stream, std::string_view encoding = {});
// The bytes SaveXmlStream writes.
AnsiString SaveXmlString(const TxmlNode* container, std::string_view encoding = {});
// Saves to fileName (the system's form of the name), replacing an existing file in one step with
// platform::ReplaceFileContent: the text goes to a fresh temporary file beside the target (beside the
// file a symbolic link points to), is flushed to the disk and then takes the target's place, so the target
// is never left cut short. A file that cannot be created or replaced throws EFCreateError; a failing write
// throws EInOutError; in both cases the target stays as it was and the temporary file is removed.
void SaveXmlFile(const TxmlNode* container, const AnsiString& fileName, std::string_view encoding = {});

// Escaping of attribute values and element text: a double quote to "&quot;", "&" to "&amp;", "<" to
// "&lt;", ">" to "&gt;"; every other byte is copied. The text ends at its first NUL byte.
AnsiString XmlEncode(std::string_view text);
