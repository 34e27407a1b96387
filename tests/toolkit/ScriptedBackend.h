#pragma once
// The back end the tests drive the model with: it shows nothing. RunLoop calls Step until the application
// terminates; a loop that would wait for a user who is not there (no Step, or Step returning false while
// not terminated) raises an Exception instead of hanging. Message boxes are recorded.
#include <functional>
#include <vector>

#include "toolkit/Backend.h"

namespace toolkit {

class TScriptedBackend : public TBackend {
public:
    std::function<bool(TApplication&)> Step;

    struct Message { AnsiString text, caption; };
    std::vector<Message> Messages;
    std::vector<const TCustomForm*> Shown;
    int BusyDepth = 0;

    void ShowForm(TCustomForm& form) override { Shown.push_back(&form); }
    void HideForm(TCustomForm& form) override { std::erase(Shown, &form); }
    void RunLoop(TApplication& app) override {
        while (!app.Terminated())
            if ((!Step || !Step(app)) && !app.Terminated())
                throw Exception("The message loop would wait for a user: nothing ends the application");
    }
    void MessageBox(const AnsiString& text, const AnsiString& caption) override { Messages.push_back({text, caption}); }
    void SetBusy(bool busy) override { BusyDepth += busy ? 1 : -1; }
};

}  // namespace toolkit
