// The node tree: attribute lines, structure, destruction and its trace.
#include "xml/Node.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>

#include "platform/trace_file.h"
#include "platform/text.h"
#include "xml/NameCompare.h"
#include "xml/TreeStorage.h"

// ---- Attribute lines ---------------------------------------------------------------------------------

namespace {

[[noreturn]] void ThrowListIndex(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

TxmlAttributes::TxmlAttributes(const TxmlAttributes& other) {
    if (other.size_ == 0) return;
    char* block = new char[sizeof(size_t) + other.size_];
    std::memcpy(block, &other.size_, sizeof(size_t));  // the capacity
    std::memcpy(block + sizeof(size_t), other.data_, other.size_);
    data_ = block + sizeof(size_t);
    size_ = other.size_;
    count_ = other.count_;
    owned_ = true;
}

TxmlAttributes& TxmlAttributes::operator=(const TxmlAttributes& other) {
    if (this != &other) {
        TxmlAttributes copy(other);
        Free();
        data_ = copy.data_;
        size_ = copy.size_;
        count_ = copy.count_;
        owned_ = copy.owned_;
        copy.owned_ = false;
    }
    return *this;
}

void TxmlAttributes::Free() noexcept {
    if (owned_) delete[] (data_ - sizeof(size_t));
    data_ = nullptr;
    size_ = 0;
    count_ = 0;
    owned_ = false;
}

void TxmlAttributes::Clear() noexcept { Free(); }

size_t TxmlAttributes::OffsetOf(int index) const {
    const char* at = data_;
    for (int i = 0; i < index; ++i) at += xmlline::ReadLength(at);
    return static_cast<size_t>(at - data_);
}

void TxmlAttributes::Splice(size_t from, size_t to, const std::string_view* line, int countChange) {
    if (countChange > 0 && count_ == UINT32_MAX) throw EListError("Too many attribute lines");
    AnsiString copy;
    std::string_view inserted = line ? *line : std::string_view();
    if (line && data_ && inserted.data() >= data_ && inserted.data() < data_ + size_) {
        copy.assign(inserted);  // a line of this list: the buffer may move under it
        inserted = copy;
    }
    size_t encoded = line ? xmlline::LengthSize(inserted.size()) + inserted.size() : 0;
    size_t newSize = size_ - (to - from) + encoded;
    size_t capacity = 0;
    if (owned_) std::memcpy(&capacity, data_ - sizeof(size_t), sizeof capacity);
    char* target;
    if (owned_ && newSize <= capacity) {
        target = const_cast<char*>(data_);
        std::memmove(target + from + encoded, data_ + to, size_ - to);
    } else {
        size_t grown = std::max({newSize, 2 * capacity, size_t(32)});
        char* block = new char[sizeof(size_t) + grown];
        std::memcpy(block, &grown, sizeof grown);
        target = block + sizeof(size_t);
        if (from) std::memcpy(target, data_, from);
        if (size_ > to) std::memcpy(target + from + encoded, data_ + to, size_ - to);
        uint32_t count = count_;
        Free();
        count_ = count;
        data_ = target;
        owned_ = true;
    }
    if (line) {
        char* at = xmlline::WriteLength(target + from, inserted.size());
        if (!inserted.empty()) std::memcpy(at, inserted.data(), inserted.size());
    }
    size_ = newSize;
    count_ = static_cast<uint32_t>(static_cast<int64_t>(count_) + countChange);
}

std::string_view TxmlAttributes::Line(int index) const {
    if (index < 0 || index >= Count()) ThrowListIndex(index);
    return *Iterator(data_ + OffsetOf(index));
}

AnsiString TxmlAttributes::LineName(int index) const {
    return AnsiString(xmlname::LineName(Line(index)));
}

int TxmlAttributes::IndexOfName(std::string_view name) const {
    int i = 0;
    for (std::string_view line : *this) {
        if (xmlname::SameAttributeName(xmlname::LineName(line), name)) return i;
        ++i;
    }
    return -1;
}

std::string_view TxmlAttributes::ValueView(std::string_view name) const {
    for (std::string_view line : *this) {
        if (xmlname::SameAttributeName(xmlname::LineName(line), name)) return xmlname::LineValue(line);
    }
    return {};
}

void TxmlAttributes::SetValue(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    size_t from = i >= 0 ? OffsetOf(i) : size_;
    size_t to = i >= 0 ? OffsetOf(i + 1) : size_;
    if (value.empty()) {
        if (i >= 0) Splice(from, to, nullptr, -1);
        return;
    }
    AnsiString line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append(1, '=').append(value);
    std::string_view view = line;
    Splice(from, to, &view, i >= 0 ? 0 : 1);
}

AnsiString TxmlAttributes::Text() const {
    AnsiString out;
    out.reserve(size_ + 2 * count_);
    for (std::string_view line : *this) out.append(line).append("\r\n");
    return out;
}

void TxmlAttributes::SetText(std::string_view text) {
    Clear();
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    for (std::string_view line : platform::SplitLines(text)) Add(line);
}

void TxmlAttributes::Add(std::string_view line) { Splice(size_, size_, &line, 1); }

void TxmlAttributes::Delete(int index) {
    if (index < 0 || index >= Count()) ThrowListIndex(index);
    Splice(OffsetOf(index), OffsetOf(index + 1), nullptr, -1);
}

// ---- The node and its destruction --------------------------------------------------------------------

TxmlNode::TxmlNode(TxmlNode* parent) : Parent(parent) {
    if (parent) {
        // Most parents get several children; skipping the smallest growth steps saves reallocations.
        if (parent->Children.capacity() == 0) parent->Children.reserve(4);
        parent->Children.push_back(this);
    }
}

TxmlNode::~TxmlNode() {
    if (Children.empty()) return;
    // Iterative, so that a deeply nested file cannot exhaust the stack: each node goes after its
    // children, unlinked from it first. The holds on a loaded file's storage go in one step.
    struct Frame {
        TxmlNode* node;
        size_t next;  // index of the next child to release
    };
    std::vector<Frame> stack{{this, 0}};
    TxmlNodeFreer freer;
    for (;;) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->Children.size()) {
            TxmlNode* child = frame.node->Children[frame.next++];
            child->Parent = nullptr;
            if (!child->Children.empty()) {
                stack.push_back({child, 0});
                continue;
            }
            child->~TxmlNode();
            freer.Free(child);
            continue;
        }
        TxmlNode* done = frame.node;
        stack.pop_back();
        done->Children.clear();
        if (done == this) return;  // its own members go with this destructor
        done->~TxmlNode();
        freer.Free(done);
    }
}

namespace {

std::atomic<bool> traceEnabled{true};

// The trace lines of a subtree in pre-order. Every node below the top is detached before it goes, so its
// line is its own name; the top node's line is its full path.
AnsiString TraceLines(const TxmlNode* top) {
    AnsiString out = GetNodePath(top);
    out.append("\r\n");
    std::vector<const TxmlNode*> stack(top->Children.rbegin(), top->Children.rend());
    while (!stack.empty()) {
        const TxmlNode* node = stack.back();
        stack.pop_back();
        out.append(node->Name).append("\r\n");
        for (auto it = node->Children.rbegin(); it != node->Children.rend(); ++it) stack.push_back(*it);
    }
    return out;
}

void WriteTrace(const TxmlNode* node, bool wholeSubtree) {
    if (!traceEnabled.load(std::memory_order_relaxed)) return;
    AnsiString text = wholeSubtree ? TraceLines(node) : GetNodePath(node) + "\r\n";
    // A line that cannot be written is skipped: the trace must never stop a release.
    platform::AppendToTextFile(platform::XmlTraceFilePath(), text);
}

}  // namespace

void DestroyNode(TxmlNode* node) {
    if (!node) return;
    if (node->Parent) {
        WriteTrace(node, false);
        throw Exception("Problem with XMLNode");
    }
    WriteTrace(node, true);
    delete node;
}

void SetXmlTraceEnabled(bool enabled) noexcept { traceEnabled.store(enabled); }
bool XmlTraceEnabled() noexcept { return traceEnabled.load(); }

namespace {

void ReleaseAndReport(TxmlTree& tree) noexcept {
    try {
        tree.Release();
    } catch (const std::exception& error) {
        try {
            std::cerr << error.what() << '\n';
        } catch (...) {
            // A report that fails has nowhere left to go.
        }
    } catch (...) {
    }
}

}  // namespace

TxmlTree& TxmlTree::operator=(TxmlTree&& other) noexcept {
    if (this != &other) {
        TxmlNode* next = other.Detach();
        ReleaseAndReport(*this);
        top_ = next;
    }
    return *this;
}

TxmlTree::~TxmlTree() { ReleaseAndReport(*this); }

TxmlNode* TxmlTree::Detach() noexcept {
    TxmlNode* top = top_;
    top_ = nullptr;
    return top;
}

void TxmlTree::Release() { DestroyNode(Detach()); }

// ---- Structure ---------------------------------------------------------------------------------------

int GetChildCount(const TxmlNode* node) { return static_cast<int>(node->Children.size()); }

TxmlNode* GetChild(const TxmlNode* node, int index) {
    if (index < 0) ThrowListIndex(index);
    if (static_cast<size_t>(index) >= node->Children.size()) return nullptr;
    return node->Children[static_cast<size_t>(index)];
}

TxmlNode* AddChild(TxmlNode* node) { return new TxmlNode(node); }

TxmlNode* AddNamedChild(TxmlNode* node, std::string_view name) {
    TxmlNode* child = new TxmlNode(node);
    child->Name = name;
    return child;
}

TxmlNode* InsertChild(TxmlNode* node, int index) {
    if (index < 0 || index > GetChildCount(node)) ThrowListIndex(index);
    node->Children.reserve(node->Children.size() + 1);  // so that the insertion cannot fail
    TxmlNode* child = new TxmlNode();
    node->Children.insert(node->Children.begin() + index, child);
    child->Parent = node;
    return child;
}

TxmlNode* FindChild(TxmlNode* node, std::string_view name) {
    if (name.empty()) return node;
    for (TxmlNode* child : node->Children)
        if (xmlname::SameElementName(child->Name, name)) return child;
    return nullptr;
}

TxmlNode* FindNextChild(TxmlNode* node, std::string_view name, int& position) {
    size_t start = position < 0 ? 0 : static_cast<size_t>(position) + 1;
    for (size_t i = start; i < node->Children.size(); ++i) {
        if (xmlname::SameElementName(node->Children[i]->Name, name)) {
            position = static_cast<int>(i);
            return node->Children[i];
        }
    }
    return nullptr;
}

TxmlNode* ForcePath(TxmlNode* node, std::string_view path) {
    TxmlNode* current = node;
    bool anyWord = false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view word = path.substr(start, end - start);
        if (!word.empty()) {
            anyWord = true;
            TxmlNode* next = FindChild(current, word);
            current = next ? next : AddNamedChild(current, word);
        }
        start = end + 1;
    }
    return anyWord ? current : nullptr;
}

AnsiString GetAttribute(const TxmlNode* node, std::string_view name) { return node->Attributes.Value(name); }

void SetAttribute(TxmlNode* node, std::string_view name, std::string_view value) {
    node->Attributes.SetValue(name, value);
}

void DeleteChild(TxmlNode* node, int index) {
    if (index < 0 || index >= GetChildCount(node)) ThrowListIndex(index);
    TxmlNode* child = node->Children[static_cast<size_t>(index)];
    node->Children.erase(node->Children.begin() + index);
    child->Parent = nullptr;
    DestroyNode(child);
}

void DeleteNamedChild(TxmlNode* node, std::string_view name) {
    int position = -1;
    if (FindNextChild(node, name, position)) DeleteChild(node, position);
}

void RemoveChild(TxmlNode* node, TxmlNode* child) {
    for (size_t i = 0; i < node->Children.size(); ++i)
        if (node->Children[i] == child) return DeleteChild(node, static_cast<int>(i));
}

namespace {

void Unlink(TxmlNode* node) {
    if (TxmlNode* parent = node->Parent) {
        auto& list = parent->Children;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (*it == node) {
                list.erase(it);
                break;
            }
        }
        node->Parent = nullptr;
    }
}

}  // namespace

void FreeNode(TxmlNode* node) {
    if (!node) return;
    Unlink(node);
    DestroyNode(node);
}

void MoveNode(TxmlNode* node, TxmlNode* newParent) {
    for (const TxmlNode* up = newParent; up; up = up->Parent)
        if (up == node) throw Exception("Cannot move an XML node below itself");
    if (newParent) newParent->Children.reserve(newParent->Children.size() + 1);
    Unlink(node);
    node->Parent = newParent;
    if (newParent) newParent->Children.push_back(node);
}

void ClearChildren(TxmlNode* node) {
    TxmlChildList children;
    children.swap(node->Children);
    // The same lines as destroying each child in turn, appended in one go.
    if (traceEnabled.load(std::memory_order_relaxed) && !children.empty()) {
        AnsiString lines;
        for (TxmlNode* child : children) {
            child->Parent = nullptr;
            lines.append(TraceLines(child));
        }
        platform::AppendToTextFile(platform::XmlTraceFilePath(), lines);
    }
    for (TxmlNode* child : children) {
        child->Parent = nullptr;
        delete child;
    }
}

AnsiString GetNodePath(const TxmlNode* node) {
    std::vector<const TxmlNode*> chain;
    size_t size = 0;
    for (const TxmlNode* up = node; up; up = up->Parent) {
        chain.push_back(up);
        size += up->Name.size() + 1;
    }
    AnsiString path;
    path.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path.push_back('\\');
        path.append((*it)->Name);
    }
    return path;
}

bool CheckTree(const TxmlNode* node) {
    std::vector<const TxmlNode*> stack{node};
    while (!stack.empty()) {
        const TxmlNode* current = stack.back();
        stack.pop_back();
        for (const TxmlNode* child : current->Children) {
            if (!child || child->Parent != current) return false;
            stack.push_back(child);
        }
    }
    return true;
}
