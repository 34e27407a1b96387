#pragma once
// Tree queries: searches by attribute, sorting of children, merging of trees, and attributes that hold a
// choice or a set of choices from a caller's list.
//
// Three ways of comparing text:
//  - ASCII comparison: a-z fold to upper case, then bytes compare by value; a text that
//    is the beginning of the other comes first.
//  - Hotkey-free comparison (HotkeyCompareText): both texts lose their "&" marks (StripHotkey), then the
//    ASCII comparison. Captions such as "E&xit" and "Exit" are equal.
//  - Choice lists compare items with the code page's letter case folding (platform::AnsiSameText).
// A choice list is a text whose items are separated by "," or ";" (for example "Left,Right;Center");
// blanks and empty items are kept; items are numbered from 0.
#include <cstdint>
#include <string_view>

#include "xml/Node.h"

// Removes every "&"; the character right after a removed "&" stays and is not looked at again, so "&&"
// leaves one "&" and "E&xit" becomes "Exit".
AnsiString StripHotkey(std::string_view text);
// The ASCII comparison of StripHotkey(a) and StripHotkey(b).
int HotkeyCompareText(std::string_view a, std::string_view b);

// The first child, in order, whose value of attrName equals attrValue in the hotkey-free comparison,
// among the children named childName (ASCII comparison) or among all children when childName is empty.
// An empty attrValue matches the first child that lacks the attribute. nullptr when none matches.
TxmlNode* FindChildByAttribute(TxmlNode* node, std::string_view childName, std::string_view attrName,
                               std::string_view attrValue);
// The first child whose Name equals childName (ASCII comparison; an empty childName matches only
// children without a name) and whose attributes hold every name=value line of attributeText (lines split
// at CR, LF and CR LF; values compared hotkey-free, the first line of a name counting). With no lines the
// first child of that name. nullptr when none matches.
TxmlNode* FindChildByAttributes(TxmlNode* node, std::string_view childName, std::string_view attributeText);

// Reorders node's children (not stable).
//  - attrName empty: by Name in the ASCII comparison, ascending; descending has no effect.
//  - Otherwise by the attribute's values va, vb: both empty compare the whole attribute texts (ASCII);
//    otherwise their numbers (an optional "-" or "+" and decimal digits within 32 bits; any other text,
//    an absent attribute included, counts as 0) and, when the numbers are equal, the values (ASCII).
//    descending reverses the order. "10", "9", "100" sort as 9, 10, 100.
// When two numbers lie so far apart that their difference leaves the 32-bit range, throws EIntOverflow
// and leaves the order unchanged. The settings of a sort are held per thread.
void SortChildren(TxmlNode* node, std::string_view attrName, bool descending);

// Merges source's children into target: each child s of source that matches a child of target (the first
// with the same Name, hotkey-free, whose attributes match) is merged into it the same way, recursively;
// a child without a match moves with its subtree to the end of target's list (leaving source). Matched
// nodes keep their own attributes and Value. Attributes match when keyAttr is not empty by the values of
// keyAttr (hotkey-free; both absent is a match), and when it is empty by the same number of lines and
// every value of s equal (hotkey-free) to the value of the same name in the other. A null source does
// nothing. What remains in source afterwards belongs to its caller as before.
void MergeTree(TxmlNode* target, TxmlNode* source, std::string_view keyAttr);
// Loads fileName with LoadXmlFile, merges the loaded tree into node with MergeTree and destroys what
// remains of the loaded tree. A missing file changes nothing; a file that cannot be opened throws as
// LoadXmlFile does and node stays unchanged.
void MergeXmlFile(TxmlNode* node, const AnsiString& fileName, std::string_view keyAttr);

// The attribute read as a set: def when the attribute is empty or absent; otherwise one leading "(", "["
// or "{" and one trailing ")", "]" or "}" are dropped, the rest splits into words at blanks, "," and
// ";", and each word found in the choice list (code-page case folding) sets the bit of its index. Items
// past the 32nd are ignored. "[Left,Top]" and "Left Top" with "Left,Right,Top" give 5.
uint32_t ReadSetAttribute(const TxmlNode* node, std::string_view attrName, std::string_view items,
                          uint32_t def);
// Writes the items 0..31 whose bits are set in mask, joined by "," inside "[" and "]"; an empty mask
// writes "[]", so the attribute stays present. Mask 5 with "Left,Right,Top" writes "[Left,Top]".
void WriteSetAttribute(TxmlNode* node, std::string_view attrName, std::string_view items, uint32_t mask);
// The index of the attribute's value in the choice list (code-page case folding; an absent attribute
// matches an empty item), or def when it is not in the list.
int ReadChoiceAttribute(const TxmlNode* node, std::string_view attrName, std::string_view items, int def);
// Sets the attribute to the item index + 1 among the non-empty items of the list. An index past the last
// item deletes the attribute. A negative index throws EListError and leaves the attribute unchanged.
void WriteChoiceAttribute(TxmlNode* node, std::string_view attrName, std::string_view items, int index);
