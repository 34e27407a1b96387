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
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/codepage.h"

class TxmlTreeStorage;
class TxmlNode;

// The bytes of a node's Name or Value. Text read from a file stays in the storage of the loaded tree,
// which the node keeps alive; assigning or copying gives the text a heap block of its own, so text never
// refers to storage that its node does not hold. Reads as a std::string_view; converts to AnsiString
// where one is needed.
class TxmlText {
public:
    TxmlText() noexcept = default;
    explicit TxmlText(std::string_view text) { Assign(text); }
    TxmlText(const TxmlText& other) { Assign(other.View()); }
    // Takes over other's own block; text in a tree's storage is copied.
    TxmlText(TxmlText&& other) { Take(other); }
    TxmlText& operator=(const TxmlText& other);
    TxmlText& operator=(TxmlText&& other);
    TxmlText& operator=(std::string_view text);
    ~TxmlText() {
        if (owned_) Free();
    }

    const char* data() const noexcept { return data_; }
    size_t size() const noexcept { return size_; }
    size_t length() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    char operator[](size_t index) const noexcept { return data_[index]; }
    std::string_view View() const noexcept { return {data_, size_}; }
    operator std::string_view() const noexcept { return View(); }
    operator AnsiString() const { return AnsiString(data_, size_); }
    AnsiString str() const { return AnsiString(data_, size_); }

    friend bool operator==(const TxmlText& a, const TxmlText& b) noexcept { return a.View() == b.View(); }
    friend bool operator==(const TxmlText& a, std::string_view b) noexcept { return a.View() == b; }
    friend AnsiString operator+(const TxmlText& a, std::string_view b) { return AnsiString(a.View()).append(b); }
    friend AnsiString operator+(std::string_view a, const TxmlText& b) { return AnsiString(a).append(b.View()); }
    friend AnsiString operator+(const TxmlText& a, const TxmlText& b) { return AnsiString(a.View()).append(b.View()); }

private:
    friend class TxmlTreeStorage;
    void Assign(std::string_view text);
    void Take(TxmlText& other);
    void Free() noexcept;

    const char* data_ = "";
    size_t size_ : sizeof(size_t) * 8 - 1 = 0;
    size_t owned_ : 1 = 0;  // data_ is a heap block of this text's own
};

std::ostream& operator<<(std::ostream& stream, const TxmlText& text);

// How an attribute list stores each line: its length, seven bits a byte from the lowest up (the high bit
// set on every byte but the last), then its bytes.
namespace xmlline {

inline size_t LengthSize(size_t length) {
    size_t bytes = 1;
    for (; length >= 0x80; length >>= 7) ++bytes;
    return bytes;
}

inline char* WriteLength(char* at, size_t length) {
    for (; length >= 0x80; length >>= 7) *at++ = static_cast<char>(length | 0x80);
    *at++ = static_cast<char>(length);
    return at;
}

// Reads a length and moves at past it.
inline size_t ReadLength(const char*& at) noexcept {
    size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        unsigned char byte = static_cast<unsigned char>(*at++);
        length |= static_cast<size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return length;
    }
}

}  // namespace xmlline

// The attribute lines of one node. Each line is a name, "=" and a value, in document or insertion order.
// The name of a line is the text before its first "="; the value is the text after it. A line without
// "=" has an empty name and an empty value. The lines lie in one buffer (each after its length), in the
// loaded tree's storage until the first change.
class TxmlAttributes {
public:
    TxmlAttributes() noexcept = default;
    TxmlAttributes(const TxmlAttributes& other);
    TxmlAttributes& operator=(const TxmlAttributes& other);
    ~TxmlAttributes() {
        if (owned_) Free();
    }

    // Walks the lines in order; a line is a view that stays valid until the list changes.
    class Iterator {
    public:
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        Iterator() noexcept = default;
        explicit Iterator(const char* at) noexcept : at_(at) {}
        std::string_view operator*() const noexcept {
            const char* at = at_;
            size_t length = xmlline::ReadLength(at);
            return {at, length};
        }
        Iterator& operator++() noexcept {
            size_t length = xmlline::ReadLength(at_);
            at_ += length;
            return *this;
        }
        Iterator operator++(int) noexcept {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const noexcept { return at_ == other.at_; }

    private:
        const char* at_ = nullptr;
    };
    Iterator begin() const noexcept { return Iterator(data_); }
    Iterator end() const noexcept { return Iterator(data_ + size_); }

    // Number of lines.
    int Count() const noexcept { return static_cast<int>(count_); }
    bool Empty() const noexcept { return count_ == 0; }

    // The whole line at index; EListError outside 0 .. Count()-1.
    std::string_view Line(int index) const;
    // The name part of the line at index (text before the first "="); EListError outside the range.
    AnsiString LineName(int index) const;

    // Index of the first line whose name equals name without regard to the code page's letter case;
    // -1 when none does.
    int IndexOfName(std::string_view name) const;
    // The value of the first line named name (code-page case folding), or "" when no line matches: a
    // missing attribute and an empty one read the same.
    AnsiString Value(std::string_view name) const { return AnsiString(ValueView(name)); }
    // As Value, as a view that stays valid until the list changes.
    std::string_view ValueView(std::string_view name) const;
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
    void Add(std::string_view line);
    // Removes the line at index; EListError outside the range.
    void Delete(int index);
    void Clear() noexcept;

    // A copy of the lines.
    std::vector<AnsiString> Lines() const { return std::vector<AnsiString>(begin(), end()); }

private:
    friend class TxmlTreeStorage;
    // The byte offset of the line at index (index == Count() gives the end).
    size_t OffsetOf(int index) const;
    // Replaces the bytes [from, to) of the buffer by line, stored with its length (none when line is null).
    void Splice(size_t from, size_t to, const std::string_view* line, int countChange);
    void Free() noexcept;

    const char* data_ = nullptr;
    size_t size_ = 0;
    uint32_t count_ = 0;
    bool owned_ = false;  // data_ is a heap block of the list's own, its capacity stored in front
};

// The children of one node in order: node pointers with the vector operations the tree's users need.
// A loaded node's list lies in its tree's storage until it first grows, then in a heap block of its own.
class TxmlChildList {
public:
    using value_type = TxmlNode*;
    using iterator = TxmlNode**;
    using const_iterator = TxmlNode* const*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    TxmlChildList() noexcept = default;
    TxmlChildList(const TxmlChildList&) = delete;
    TxmlChildList& operator=(const TxmlChildList&) = delete;
    ~TxmlChildList() {
        if (capacity_) Free();
    }

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    size_t capacity() const noexcept { return capacity_ ? capacity_ : size_; }
    TxmlNode*& operator[](size_t index) noexcept { return data_[index]; }
    TxmlNode* operator[](size_t index) const noexcept { return data_[index]; }
    TxmlNode*& front() noexcept { return data_[0]; }
    TxmlNode* front() const noexcept { return data_[0]; }
    TxmlNode*& back() noexcept { return data_[size_ - 1]; }
    TxmlNode* back() const noexcept { return data_[size_ - 1]; }

    iterator begin() noexcept { return data_; }
    iterator end() noexcept { return data_ + size_; }
    const_iterator begin() const noexcept { return data_; }
    const_iterator end() const noexcept { return data_ + size_; }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    void push_back(TxmlNode* node) {
        if (size_ >= capacity_) Grow(size_ + size_t(1));
        data_[size_++] = node;
    }
    // Inserts node before at; returns where it went.
    iterator insert(const_iterator at, TxmlNode* node);
    // Removes the entry at at; returns the entry after it.
    iterator erase(const_iterator at) noexcept;
    // Room for count entries, so that adding up to that many cannot fail.
    void reserve(size_t count) {
        if (count > capacity_) Grow(count);
    }
    void clear() noexcept { Free(); }
    void swap(TxmlChildList& other) noexcept;

private:
    friend class TxmlTreeStorage;
    void Grow(size_t least);
    void Free() noexcept;

    TxmlNode** data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;  // 0 while the entries lie in a tree's storage
};

// One XML element (or comment). Made with new, attached or detached; never deleted directly: a detached
// node goes with DestroyNode (or FreeNode, or the TxmlTree owner), which takes its whole subtree.
class TxmlNode {
public:
    // Every node carries a small header naming the storage it was loaded into (none for a node made with
    // plain new); the node holds that storage, and delete returns the node to it.
    static void* operator new(size_t size);
    static void* operator new(size_t size, TxmlTreeStorage& storage);
    static void operator delete(void* storage) noexcept;
    static void operator delete(void* storage, TxmlTreeStorage& treeStorage) noexcept;

    // A node with empty fields. With a parent: Parent is set and the node becomes the parent's last child.
    explicit TxmlNode(TxmlNode* parent = nullptr);
    TxmlNode(const TxmlNode&) = delete;
    TxmlNode& operator=(const TxmlNode&) = delete;

    TxmlText Value;                   // element text, or a comment's text
    TxmlText Name;                    // empty for comments and for nodes not yet named
    bool IsComment = false;
    TxmlNode* Parent = nullptr;       // the node whose Children holds this one; not owning
    TxmlChildList Children;           // owned, document order
    TxmlAttributes Attributes;        // owned

protected:
    // Frees the subtree without trace lines; reached only through DestroyNode.
    virtual ~TxmlNode();
    friend void DestroyNode(TxmlNode* node);
    friend void ClearChildren(TxmlNode* node);
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

// Owns a tree (its top node) and releases it at the end of its scope. Release() throws what DestroyNode
// throws; the destructor never throws and writes such an error's message to standard error instead.
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
