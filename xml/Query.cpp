// Tree queries: attribute searches, sorting, merging, set and choice attributes.
#include "xml/Query.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "xml/NameCompare.h"
#include "xml/Parser.h"
#include "platform/text.h"

AnsiString StripHotkey(std::string_view text) {
    AnsiString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (++i == text.size()) break;
        }
        out.push_back(text[i]);
    }
    return out;
}

int HotkeyCompareText(std::string_view a, std::string_view b) {
    if (a.find('&') == std::string_view::npos && b.find('&') == std::string_view::npos)
        return xmlname::AsciiCompare(a, b);
    return xmlname::AsciiCompare(StripHotkey(a), StripHotkey(b));
}

namespace {

bool SameHotkeyFree(std::string_view a, std::string_view b) { return HotkeyCompareText(a, b) == 0; }

bool AttributesContain(const TxmlNode* node, const TxmlAttributes& lines) {
    for (int i = 0; i < lines.Count(); ++i) {
        AnsiString name = lines.LineName(i);
        if (!SameHotkeyFree(node->Attributes.Value(name), lines.Value(name))) return false;
    }
    return true;
}

}  // namespace

TxmlNode* FindChildByAttribute(TxmlNode* node, std::string_view childName, std::string_view attrName,
                               std::string_view attrValue) {
    for (TxmlNode* child : node->Children) {
        if (!childName.empty() && xmlname::AsciiCompare(child->Name, childName) != 0) continue;
        if (SameHotkeyFree(child->Attributes.Value(attrName), attrValue)) return child;
    }
    return nullptr;
}

TxmlNode* FindChildByAttributes(TxmlNode* node, std::string_view childName, std::string_view attributeText) {
    TxmlAttributes lines;
    lines.SetText(attributeText);
    for (TxmlNode* child : node->Children)
        if (xmlname::AsciiCompare(child->Name, childName) == 0 && AttributesContain(child, lines)) return child;
    return nullptr;
}

// ---- Sorting -------------------------------------------------------------------------------------------

namespace {

// The settings of the running sort reach the comparison per thread, so sorts in different threads do
// not disturb each other.
thread_local AnsiString sortAttribute;
thread_local bool sortDescending = false;

struct SortKey {
    TxmlNode* node;
    AnsiString value;  // of the sort attribute
    int32_t number;    // value as a whole number, 0 for any other text
};

int CompareKeys(const SortKey& a, const SortKey& b) {
    int result;
    if (a.value.empty() && b.value.empty()) {
        result = xmlname::AsciiCompare(a.node->Attributes.Text(), b.node->Attributes.Text());
    } else if (a.number != b.number) {
        result = a.number < b.number ? -1 : 1;
    } else {
        result = xmlname::AsciiCompare(a.value, b.value);
    }
    return sortDescending ? -result : result;
}

}  // namespace

void SortChildren(TxmlNode* node, std::string_view attrName, bool descending) {
    auto& children = node->Children;
    if (attrName.empty()) {
        std::sort(children.begin(), children.end(), [](const TxmlNode* a, const TxmlNode* b) {
            return xmlname::AsciiCompare(a->Name, b->Name) < 0;
        });
        return;
    }
    std::vector<SortKey> keys;
    keys.reserve(children.size());
    bool anyValue = false, anyEmpty = false;
    int64_t low = INT64_MAX, high = INT64_MIN;
    for (TxmlNode* child : children) {
        SortKey key{child, child->Attributes.Value(attrName), 0};
        if (!platform::ParseInt32(key.value, key.number)) key.number = 0;
        if (key.value.empty()) {
            anyEmpty = true;
        } else {
            anyValue = true;
            low = std::min<int64_t>(low, key.number);
            high = std::max<int64_t>(high, key.number);
        }
        keys.push_back(std::move(key));
    }
    // Numbers are compared by their difference, which must stay within 32 bits; children without the
    // attribute take part as 0 against those with it. Checked before anything moves.
    if (keys.size() > 1 && anyValue) {
        if (anyEmpty) {
            low = std::min<int64_t>(low, 0);
            high = std::max<int64_t>(high, 0);
        }
        if (high - low > INT32_MAX) throw EIntOverflow("Integer overflow");
    }
    sortAttribute.assign(attrName);
    sortDescending = descending;
    std::sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) { return CompareKeys(a, b) < 0; });
    for (size_t i = 0; i < keys.size(); ++i) children[i] = keys[i].node;
}

// ---- Merging -------------------------------------------------------------------------------------------

namespace {

bool AttributesMatch(const TxmlNode* s, const TxmlNode* c, std::string_view key) {
    if (!key.empty()) return SameHotkeyFree(s->Attributes.Value(key), c->Attributes.Value(key));
    if (s->Attributes.Count() != c->Attributes.Count()) return false;
    for (std::string_view line : s->Attributes) {
        if (!SameHotkeyFree(xmlname::LineValue(line), c->Attributes.ValueView(xmlname::LineName(line)))) return false;
    }
    return true;
}

TxmlNode* FindMatchingChild(TxmlNode* target, const TxmlNode* s, std::string_view key) {
    for (TxmlNode* c : target->Children)
        if (SameHotkeyFree(c->Name, s->Name) && AttributesMatch(s, c, key)) return c;
    return nullptr;
}

}  // namespace

void MergeTree(TxmlNode* target, TxmlNode* source, std::string_view keyAttr) {
    if (!source) return;
    struct Frame {
        TxmlNode* target;
        TxmlNode* source;
        size_t next;
    };
    // Iterative, so that deep trees merge without exhausting the stack.
    std::vector<Frame> stack{{target, source, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.source->Children.size()) {
            stack.pop_back();
            continue;
        }
        TxmlNode* s = frame.source->Children[frame.next];
        if (TxmlNode* match = FindMatchingChild(frame.target, s, keyAttr)) {
            ++frame.next;
            stack.push_back({match, s, 0});
        } else {
            MoveNode(s, frame.target);  // the source's list closes up
        }
    }
}

void MergeXmlFile(TxmlNode* node, const AnsiString& fileName, std::string_view keyAttr) {
    TxmlTree loaded(LoadXmlFile(fileName));
    MergeTree(node, loaded.Get(), keyAttr);
    loaded.Release();
}

// ---- Set and choice attributes -----------------------------------------------------------------------

namespace {

// The items of a choice list, split at every "," and ";"; blanks and empty items stay. An empty list has
// no items.
std::vector<std::string_view> SplitItems(std::string_view items) {
    std::vector<std::string_view> out;
    if (items.empty()) return out;
    size_t start = 0;
    for (;;) {
        size_t end = items.find_first_of(",;", start);
        if (end == std::string_view::npos) {
            out.push_back(items.substr(start));
            return out;
        }
        out.push_back(items.substr(start, end - start));
        start = end + 1;
    }
}

int IndexOfItem(const std::vector<std::string_view>& items, std::string_view text) {
    for (size_t i = 0; i < items.size(); ++i)
        if (xmlname::SameAttributeName(items[i], text)) return static_cast<int>(i);
    return -1;
}

bool IsWordBreak(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

uint32_t ReadSetAttribute(const TxmlNode* node, std::string_view attrName, std::string_view items, uint32_t def) {
    AnsiString value = node->Attributes.Value(attrName);
    if (value.empty()) return def;
    std::string_view v = value;
    if (!v.empty() && (v.front() == '(' || v.front() == '[' || v.front() == '{')) v.remove_prefix(1);
    if (!v.empty() && (v.back() == ')' || v.back() == ']' || v.back() == '}')) v.remove_suffix(1);
    std::vector<std::string_view> list = SplitItems(items);
    uint32_t bits = 0;
    size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && IsWordBreak(v[i])) ++i;
        size_t start = i;
        while (i < v.size() && !IsWordBreak(v[i])) ++i;
        if (i == start) break;
        int index = IndexOfItem(list, v.substr(start, i - start));
        if (index >= 0 && index < 32) bits |= uint32_t(1) << index;  // items past the 32nd have no bit
    }
    return bits;
}

void WriteSetAttribute(TxmlNode* node, std::string_view attrName, std::string_view items, uint32_t mask) {
    std::vector<std::string_view> list = SplitItems(items);
    AnsiString value = "[";
    bool first = true;
    for (size_t i = 0; i < list.size() && i < 32; ++i) {
        if (!(mask & (uint32_t(1) << i))) continue;
        if (!first) value.push_back(',');
        value.append(list[i]);
        first = false;
    }
    value.push_back(']');
    node->Attributes.SetValue(attrName, value);
}

int ReadChoiceAttribute(const TxmlNode* node, std::string_view attrName, std::string_view items, int def) {
    int index = IndexOfItem(SplitItems(items), node->Attributes.Value(attrName));
    return index >= 0 ? index : def;
}

void WriteChoiceAttribute(TxmlNode* node, std::string_view attrName, std::string_view items, int index) {
    if (index < 0) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    int seen = 0;
    for (std::string_view item : SplitItems(items)) {
        if (item.empty()) continue;
        if (seen++ == index) {
            node->Attributes.SetValue(attrName, item);
            return;
        }
    }
    node->Attributes.SetValue(attrName, "");
}
