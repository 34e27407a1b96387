// The console back end: the form as text on the terminal, answered line by line.
#include "toolkit/console/ConsoleBackend.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "platform/message_box.h"
#include "platform/text.h"
#include "toolkit/StdCtrls.h"

namespace toolkit {

std::unique_ptr<TBackend> CreateNativeBackend() {
    return std::make_unique<TConsoleBackend>(std::cin, std::cout);
}

// The terminal hands arguments over in UTF-8.
AnsiString NativeArgumentToAnsi(const char* argument) { return platform::Utf8ToAnsi(argument); }

namespace {

struct Placed {
    TControl* control;
    int top, left;
};

// Visible controls with their position on the form, in reading order (top to bottom, left to right).
void Collect(TWinControl& parent, int top, int left, std::vector<Placed>& out) {
    for (TControl* c : parent.Controls()) {
        if (!c->Visible()) continue;
        out.push_back({c, top + c->Top(), left + c->Left()});
        if (auto* w = dynamic_cast<TWinControl*>(c)) Collect(*w, top + c->Top(), left + c->Left(), out);
    }
}

std::vector<Placed> ReadingOrder(TCustomForm& form) {
    std::vector<Placed> list;
    Collect(form, 0, 0, list);
    std::stable_sort(list.begin(), list.end(), [](const Placed& a, const Placed& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    return list;
}

// CR LF and lone CR become the terminal's line break.
std::string ToTerminal(const WideString& text) {
    std::string utf8 = platform::WideToUtf8(text), out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r') {
            out += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// Drops a UTF-8 character that the end of text cuts in two.
void DropCutCharacter(std::string& text) {
    std::size_t lead = text.size();
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead == 0) return;
    const auto first = static_cast<unsigned char>(text[--lead]);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (text.size() - lead < length) text.resize(lead);
}

// One line of input without its line break; false at the end of the input. The line keeps at most
// kMaxLineBytes; the rest of a longer line is read and dropped, so that endless input can neither
// exhaust the memory nor spill into the next answer.
bool ReadLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* source = in.rdbuf();
    bool any = false, cut = false;
    for (int c = source->sbumpc(); c != std::char_traits<char>::eof(); c = source->sbumpc()) {
        any = true;
        if (c == '\n') break;
        if (line.size() < kMaxLineBytes) line += char(c);
        else cut = true;
    }
    if (!any) {
        in.setstate(std::ios::eofbit | std::ios::failbit);
        return false;
    }
    if (cut) DropCutCharacter(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// A whole number 1..count, blanks around it allowed; 0 otherwise.
int ParseChoice(const std::string& line, int count) {
    const std::string_view digits = platform::TrimSpaceTab(line);
    std::uint64_t n = 0;
    if (digits.size() > 4 || !platform::ParseDigits(digits, 9999, n)) return 0;
    return n >= 1 && static_cast<int>(n) <= count ? static_cast<int>(n) : 0;
}

}  // namespace

TConsoleBackend::TConsoleBackend(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void TConsoleBackend::ShowForm(TCustomForm& form) { shown_ = &form; }

void TConsoleBackend::HideForm(TCustomForm& form) {
    if (shown_ == &form) shown_ = nullptr;
}

void TConsoleBackend::MessageBox(const AnsiString& text, const AnsiString& caption) {
    out_.flush();
    platform::ShowMessageBox(caption, text);
}

void TConsoleBackend::Render(const TCustomForm& form) {
    out_ << "== " << ToTerminal(form.GetTextW()) << " ==\n";
    for (const Placed& p : ReadingOrder(const_cast<TCustomForm&>(form))) {
        TControl* c = p.control;
        if (dynamic_cast<TLabel*>(c) || dynamic_cast<TGradientPanel*>(c)) {
            if (!c->GetTextW().empty()) out_ << ToTerminal(c->GetTextW()) << '\n';
        } else if (auto* group = dynamic_cast<TCustomRadioGroup*>(c)) {
            if (!group->GetTextW().empty()) out_ << ToTerminal(group->GetTextW()) << '\n';
            const TWideStrings& items = *group->GetItems();
            for (int i = 0; i < items.Count(); ++i)
                out_ << (i == group->GetItemIndex() ? " * " : "   ") << i + 1 << ". " << ToTerminal(items.Get(i))
                     << '\n';
        } else if (auto* button = dynamic_cast<TButtonControl*>(c)) {
            out_ << "[ " << ToTerminal(button->GetTextW()) << " ]\n";
        }
    }
    out_.flush();
}

bool TConsoleBackend::Ask(TCustomForm& form) {
    bool answered = false;
    std::vector<Placed> order = ReadingOrder(form);
    for (const Placed& p : order) {
        auto* group = dynamic_cast<TCustomRadioGroup*>(p.control);
        if (!group || group->GetItems()->Count() == 0) continue;
        const int count = group->GetItems()->Count();
        for (;;) {
            out_ << "Reason (1-" << count << ", Enter keeps ";
            if (group->GetItemIndex() >= 0) out_ << group->GetItemIndex() + 1; else out_ << "none";
            out_ << "): " << std::flush;
            std::string line;
            if (!ReadLine(in_, line)) {
                out_ << '\n';
                return answered;
            }
            answered = true;
            if (line.find_first_not_of(" \t") == std::string::npos) break;
            if (int n = ParseChoice(line, count)) {
                group->SetItemIndex(n - 1);
                break;
            }
            out_ << "Please enter a number from 1 to " << count << ".\n";
        }
    }
    for (const Placed& p : order) {
        auto* edit = dynamic_cast<TEdit*>(p.control);
        if (!edit) continue;
        out_ << "Text: " << std::flush;
        std::string line;
        if (!ReadLine(in_, line)) {
            out_ << '\n';
            if (!answered) return false;
            break;
        }
        answered = true;
        edit->SetText(platform::Utf8ToAnsi(line));
    }
    if (!answered) return false;
    for (const Placed& p : order)
        if (auto* button = dynamic_cast<TButtonControl*>(p.control)) {
            button->Click();
            return true;
        }
    form.Close();
    return true;
}

void TConsoleBackend::RunLoop(TApplication& app) {
    while (!app.Terminated()) {
        TCustomForm* form = shown_ ? shown_ : app.MainForm();
        if (!form) return;
        Render(*form);
        if (!Ask(*form)) {
            form->Close();  // the input ended: as the close box
            // Nobody is left to answer: end even when the handler refused to close.
            if (!app.Terminated()) app.Terminate();
        }
    }
}

}  // namespace toolkit
