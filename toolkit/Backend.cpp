// The back end that shows nothing: the model driven by a script, as the tests do.
#include "toolkit/Backend.h"

#include <algorithm>

namespace toolkit {

void TScriptedBackend::ShowForm(TCustomForm& form) { Shown.push_back(&form); }

void TScriptedBackend::HideForm(TCustomForm& form) {
    Shown.erase(std::remove(Shown.begin(), Shown.end(), &form), Shown.end());
}

void TScriptedBackend::RunLoop(TApplication& app) {
    while (!app.Terminated()) {
        if (!Step || !Step(app)) {
            if (app.Terminated()) return;
            throw Exception("The message loop would wait for a user: nothing ends the application");
        }
    }
}

void TScriptedBackend::MessageBox(const AnsiString& text, const AnsiString& caption) {
    Messages.push_back({text, caption});
}

void TScriptedBackend::SetBusy(bool busy) {
    BusyDepth += busy ? 1 : -1;
    MaxBusyDepth = std::max(MaxBusyDepth, BusyDepth);
}

}  // namespace toolkit
