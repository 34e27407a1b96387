#pragma once
// The form in a terminal (UTF-8). It prints the window title, the labels (the header word, the question)
// and the numbered radio items with the selected one marked, then reads one line with an item number
// (empty keeps the selection; anything else is asked again), one line per edit (end of input keeps the
// text) and presses the form's first push button. End of input before the first answer closes the form
// as the close box does. Message boxes go to standard error. A line keeps at most kMaxLineBytes of UTF-8
// (the window's edit takes 32767 characters); the rest of a longer line is read and dropped.
#include <cstddef>
#include <iosfwd>

#include "toolkit/Backend.h"

namespace toolkit {

inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

class TConsoleBackend : public TBackend {
public:
    TConsoleBackend(std::istream& in, std::ostream& out);

    void ShowForm(TCustomForm& form) override;
    void HideForm(TCustomForm& form) override;
    void RunLoop(TApplication& app) override;
    void MessageBox(const AnsiString& text, const AnsiString& caption) override;

private:
    void Render(const TCustomForm& form);
    // One pass of questions; false when the input ended before the first answer.
    bool Ask(TCustomForm& form);

    std::istream& in_;
    std::ostream& out_;
    TCustomForm* shown_ = nullptr;
};

}  // namespace toolkit
