// Load, save and load again any bytes: no crash, leak or undefined behaviour, and where the writer's
// rules promise it, saving the reloaded tree gives the same bytes (fmt of fmt output equals it).
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <vector>

#include "xml/Parser.h"

namespace {

bool IsBlank(char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// A name the reader gives back as it was written.
bool PlainName(std::string_view name, bool element) {
    if (element && (name.empty() || name[0] == '?' || name[0] == '!')) return false;
    for (char c : name)
        if (IsBlank(c) || c == '<' || c == '>' || c == '/' || c == '"' || c == '=' || (element && c == '?'))
            return false;
    return true;
}

bool Trimmed(std::string_view value) {
    return value.empty() || (static_cast<unsigned char>(value.front()) > 32 && static_cast<unsigned char>(value.back()) > 32);
}

// Nodes that the writer leaves out: the header comment read back and empty comments.
bool WritesNoLine(const TxmlNode* node) {
    return node->Value == " created by Velmora XML package " || (node->IsComment && node->Value.empty());
}

// The conditions under which save, load and save again are byte-identical.
bool RoundTrips(const TxmlNode* node) {
    // An element whose children all write no line is saved in the form with children and read back
    // without any.
    bool anyLine = node->Children.empty() || node->Parent == nullptr;
    for (const TxmlNode* child : node->Children) anyLine = anyLine || !WritesNoLine(child);
    if (!anyLine) return false;
    for (const TxmlNode* child : node->Children) {
        if (WritesNoLine(child)) continue;
        if (child->IsComment && child->Children.empty() && !child->Value.empty()) {
            if (child->Value.View().find("-->") != std::string_view::npos) return false;
            continue;
        }
        if (child->IsComment) return false;
        if (!PlainName(child->Name, true)) return false;
        if (!Trimmed(child->Value) || child->Value.View().find('\0') != std::string_view::npos) return false;
        for (std::string_view line : child->Attributes) {
            size_t eq = line.find('=');
            if (eq == std::string_view::npos || !PlainName(line.substr(0, eq), false)) return false;
        }
        if (!RoundTrips(child)) return false;
    }
    return true;
}

// Changes the attribute lines of a loaded node, which lie in the tree's storage until the first change,
// the same way as a plain list of lines, driven by the input's bytes; the two must agree throughout.
void ChangeLinesLikeAList(TxmlAttributes& lines, std::string_view input) {
    std::vector<AnsiString> model = lines.Lines();
    for (size_t i = 0; i + 1 < input.size() && i < 64; i += 2) {
        unsigned char op = static_cast<unsigned char>(input[i]), arg = static_cast<unsigned char>(input[i + 1]);
        if (op % 3 == 0 && !model.empty()) {
            size_t at = arg % model.size();
            lines.Add(lines.Line(static_cast<int>(at)));  // a line of the list itself
            model.push_back(model[at]);
        } else if (op % 3 == 1 && !model.empty()) {
            size_t at = arg % model.size();
            lines.Delete(static_cast<int>(at));
            model.erase(model.begin() + static_cast<long>(at));
        } else {
            AnsiString line(input.substr(i, arg % 32));
            lines.Add(line);
            model.push_back(line);
        }
        if (lines.Lines() != model || lines.Count() != static_cast<int>(model.size())) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetXmlTraceEnabled(false);
    std::string_view input(reinterpret_cast<const char*>(data), size);

    TxmlTree tree(LoadXmlString(input));
    // The stream path must build the same tree as the memory path.
    std::istringstream stream{std::string(input)};
    TxmlParser parser;
    parser.LoadFromStream(stream);
    TxmlTree fromStream(parser.TakeRoot());

    AnsiString saved = SaveXmlString(tree.Get());
    if (SaveXmlString(fromStream.Get()) != saved) std::abort();
    if (!CheckTree(tree.Get())) std::abort();

    TxmlTree reloaded(LoadXmlString(saved));
    AnsiString again = SaveXmlString(reloaded.Get());
    if (RoundTrips(tree.Get()) && again != saved) std::abort();
    // Whatever the input, a second round changes nothing more once the writer's form is reached.
    if (RoundTrips(reloaded.Get())) {
        TxmlTree third(LoadXmlString(again));
        if (SaveXmlString(third.Get()) != again) std::abort();
    }

    // Queries over an arbitrary tree must not crash either.
    TxmlNode* top = tree.Get();
    if (!top->Children.empty()) {
        TxmlNode* first = top->Children.front();
        try {
            SortChildren(first, first->Attributes.Empty() ? "" : first->Attributes.LineName(0), size % 2);
        } catch (const EIntOverflow&) {
        }
        MergeTree(top, reloaded.Get(), size % 3 ? "" : "Name");
        (void)FindChildByAttributes(top, first->Name, first->Attributes.Text());
        (void)ReadSetAttribute(first, "a", "x,y;z", 7);
        ChangeLinesLikeAList(first->Attributes, input);
        first->Name = first->Name.str();  // a name of the storage given a block of its own
        if (!CheckTree(top)) std::abort();
    }
    return 0;
}
