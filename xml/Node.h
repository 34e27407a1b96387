#pragma once
// The in-memory XML element tree: TxmlNode, its attribute lines, the structural operations, explicit
// destruction with its trace file, and an owner that releases a tree at the end of a scope.
//
// All text is 8-bit bytes in the ANSI code page; nothing here converts encodings. An empty string stands
// for "absent" everywhere. Element names compare by ASCII case folding (A-Z only); attribute names compare
// by the code page's letter case (platform::AnsiSameText).
//
// Operations are free functions taking the node first. A tree belongs to whoever holds its top node. A
// tree is used by one thread at a time.
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/codepage.h"

// The attribute lines of one node. Each line is a name, "=" and a value, in document or insertion order.
// The name of a line is the text before its first "="; the value is the text after it. A line without
// "=" has an empty name and an empty value.
class TxmlAttributes {
public:
    // Number of lines.
    int Count() const noexcept { return static_cast<int>(lines_.size()); }
    bool Empty() const noexcept { return lines_.empty(); }

    // The whole line at index; EListError outside 0 .. Count()-1.
    const AnsiString& Line(int index) const;
    // The name part of the line at index (text before the first "="); EListError outside the range.
    AnsiString LineName(int index) const;

    // Index of the first line whose name equals name without regard to the code page's letter case;
    // -1 when none does.
    int IndexOfName(std::string_view name) const;
    // The value of the first line named name (code-page case folding), or "" when no line matches: a
    // missing attribute and an empty one read the same.
    AnsiString Value(std::string_view name) const;
    // A non-empty value replaces the first matching line by name (in the caller's letter case), "=" and
    // value, or appends such a line last when none matches. An empty value deletes the first matching line
    // and does nothing when none matches, so an attribute can never be set to an empty value this way.
    void SetValue(std::string_view name, std::string_view value);

    // Every line followed by CR LF.
    AnsiString Text() const;
    // Replaces all lines by the lines of text, split at CR, LF and CR LF; the text ends at a NUL byte.
    // A trailing line break does not make an empty last line.
    void SetText(std::string_view text);

    // Appends a whole line as it is.
    void Add(AnsiString line) { lines_.push_back(std::move(line)); }
    // Removes the line at index; EListError outside the range.
    void Delete(int index);
    void Clear() noexcept { lines_.clear(); }

    const std::vector<AnsiString>& Lines() const noexcept { return lines_; }
    std::vector<AnsiString>& Lines() noexcept { return lines_; }

private:
    std::vector<AnsiString> lines_;
};

class TxmlNodePool;

// One XML element (or comment). Made with new, attached or detached; never deleted directly: a detached
// node goes with DestroyNode (or FreeNode, or the TxmlTree owner), which takes its whole subtree.
class TxmlNode {
public:
    // Every node carries a small header naming the pool block it lives in (none for a node made with
    // plain new), so that delete returns it to the right place.
    static void* operator new(size_t size);
    static void* operator new(size_t size, TxmlNodePool& pool);
    static void operator delete(void* storage) noexcept;
    static void operator delete(void* storage, TxmlNodePool& pool) noexcept;

    // A node with empty fields. With a parent: Parent is set and the node becomes the parent's last child.
    explicit TxmlNode(TxmlNode* parent = nullptr);
    TxmlNode(const TxmlNode&) = delete;
    TxmlNode& operator=(const TxmlNode&) = delete;

    AnsiString Value;                 // element text, or a comment's text
    AnsiString Name;                  // empty for comments and for nodes not yet named
    bool IsComment = false;
    TxmlNode* Parent = nullptr;       // the node whose Children holds this one; not owning
    std::vector<TxmlNode*> Children;  // owned, document order
    TxmlAttributes Attributes;        // owned

protected:
    // Frees the subtree without trace lines; reached only through DestroyNode.
    virtual ~TxmlNode();
    friend void DestroyNode(TxmlNode* node);
    friend void ClearChildren(TxmlNode* node);
};

// Storage for the nodes of a file being loaded, taken from blocks of many nodes: one allocation per block
// instead of one per node, and releasing a tree touches far fewer heap blocks. A block is freed when its
// last node is deleted, wherever the nodes went meanwhile (moved to another tree, handed to another
// thread), so a pooled node is used exactly like any other. One node kept alive keeps its block alive.
// Under AddressSanitizer every node gets its own allocation, so that use after free is still caught.
// Use: new (pool) TxmlNode(parent). A pool is used by one thread.
class TxmlNodePool {
public:
    TxmlNodePool() noexcept = default;
    TxmlNodePool(const TxmlNodePool&) = delete;
    TxmlNodePool& operator=(const TxmlNodePool&) = delete;
    // Gives up the pool's hold on its current block; the nodes in it live on.
    ~TxmlNodePool();

    struct Block;

private:
    friend class TxmlNode;
    void* Allocate(size_t size);

    Block* block_ = nullptr;
    size_t nextBlockSlots_ = 8;  // blocks grow, so that a small file does not pay for a large block
};

// ---- Destruction and its trace ----------------------------------------------------------------------

// Destroys node with its whole subtree. Steps, in order:
//  1. Appends one trace line per node of the subtree, in pre-order (a node before its children), each the
//     node's GetNodePath followed by CR LF. A tree of n nodes appends n lines; the top node of a loaded tree
//     writes "Root". A line that cannot be written is skipped: the trace is diagnostics and never stops a
//     release.
//  2. When node still has a Parent, throws Exception("Problem with XMLNode") after its trace line was
//     written; node, its subtree and its place in the parent's list stay untouched.
//  3. Destroys every child (each detached first), then the node with its attribute list.
// A null node does nothing.
void DestroyNode(TxmlNode* node);

// The trace is on by default. Other programs built on this library (the xmlini tool) switch it off.
// Process-wide; safe to call from any thread.
void SetXmlTraceEnabled(bool enabled) noexcept;
bool XmlTraceEnabled() noexcept;
// Where trace lines go: UNINSTALL_XML_LOG when set and not empty; otherwise "c:\XML_Log.txt" on Windows
// and XML_Log.txt in $XDG_STATE_HOME (default ~/.local/state) on Linux. Read at every release.
AnsiString XmlTracePath();

// Owns a tree (its top node) and releases it at the end of its scope. Release() throws what DestroyNode
// throws; the destructor never throws and hands such an error to the release report instead.
class TxmlTree {
public:
    TxmlTree() noexcept = default;
    explicit TxmlTree(TxmlNode* top) noexcept : top_(top) {}
    TxmlTree(TxmlTree&& other) noexcept : top_(other.Detach()) {}
    // Releases the tree held so far (reporting an error as the destructor does), then takes other's.
    TxmlTree& operator=(TxmlTree&& other) noexcept;
    TxmlTree(const TxmlTree&) = delete;
    TxmlTree& operator=(const TxmlTree&) = delete;
    ~TxmlTree();

    TxmlNode* Get() const noexcept { return top_; }
    TxmlNode* operator->() const noexcept { return top_; }
    TxmlNode& operator*() const noexcept { return *top_; }
    explicit operator bool() const noexcept { return top_ != nullptr; }

    // Hands the tree over: the owner forgets it and returns the top node.
    TxmlNode* Detach() noexcept;
    // DestroyNode of the top node. The owner forgets the tree before the call, also when it throws
    // (then the top node was attached elsewhere and belongs to its parent).
    void Release();

private:
    TxmlNode* top_ = nullptr;
};

// What a TxmlTree destructor does with an error of the release: by default the message goes to standard
// error. Process-wide; pass nullptr to restore the default.
using TxmlReleaseReport = void (*)(const std::exception& error);
void SetXmlReleaseReport(TxmlReleaseReport report) noexcept;

// ---- Structure --------------------------------------------------------------------------------------

// Number of children.
int GetChildCount(const TxmlNode* node);
// The child at the 0-based index; nullptr when index is at or past the count; EListError when negative.
TxmlNode* GetChild(const TxmlNode* node, int index);
// Appends a new child with an empty name and returns it.
TxmlNode* AddChild(TxmlNode* node);
// Appends a new child named name and returns it.
TxmlNode* AddNamedChild(TxmlNode* node, std::string_view name);
// Creates a child with an empty name and inserts it at index (0 .. count); EListError outside.
TxmlNode* InsertChild(TxmlNode* node, int index);

// For an empty name: node itself. Otherwise the first child whose Name equals name (ASCII case
// folding), or nullptr.
TxmlNode* FindChild(TxmlNode* node, std::string_view name);
// Searches the children from position + 1 to the end for the first whose Name equals name (ASCII case
// folding). On a hit stores the child's index in position and returns the child; otherwise returns
// nullptr and leaves position as it was. A search from the start passes position -1.
TxmlNode* FindNextChild(TxmlNode* node, std::string_view name, int& position);
// Splits path into words at "\" (empty words skipped; blanks inside a word belong to it) and walks them
// from node: FindChild of each word, creating a child of that name when missing. Returns the node of the
// last word, or nullptr when the path holds no word. "A\\B\" walks the same as "A\B".
TxmlNode* ForcePath(TxmlNode* node, std::string_view path);

// The attribute value by name (code-page case folding); "" when absent.
AnsiString GetAttribute(const TxmlNode* node, std::string_view name);
// Sets the attribute by name under the rules of TxmlAttributes::SetValue; an empty value deletes it.
void SetAttribute(TxmlNode* node, std::string_view name, std::string_view value);

// Detaches the child at index, removes its entry and destroys it with its subtree. An index outside
// 0 .. count-1 throws EListError and changes nothing.
void DeleteChild(TxmlNode* node, int index);
// Deletes the first child named name (ASCII case folding), if any; later ones stay.
void DeleteNamedChild(TxmlNode* node, std::string_view name);
// When child is in node's list: as DeleteChild at its index. Otherwise nothing happens.
void RemoveChild(TxmlNode* node, TxmlNode* child);
// Takes node out of its parent's list (when it has a parent) and destroys it with its subtree.
void FreeNode(TxmlNode* node);
// Takes node out of its old parent's list (when it has one); with a new parent, appends it as that
// parent's last child, otherwise leaves it detached for its caller to own. Nothing is destroyed. Moving
// a node below itself or one of its descendants would make a cycle: that throws Exception and changes
// nothing.
void MoveNode(TxmlNode* node, TxmlNode* newParent);
// Detaches and destroys every child in order, then empties the list. Attributes and Value stay.
void ClearChildren(TxmlNode* node);

// The names from the top of the tree down to node, joined by "\", the top node's name included
// (Root\Options\Advanced for Advanced below Options in a loaded file).
AnsiString GetNodePath(const TxmlNode* node);
// Visits every node of the subtree; true for an intact tree, false when a child is missing or its Parent
// is not the node whose list holds it.
bool CheckTree(const TxmlNode* node);
