#pragma once
// What gives the model a face: the win32 back end (real windows) or the console back end (terminal).
#include <memory>

#include "toolkit/Forms.h"

namespace toolkit {

class TBackend {
public:
    virtual ~TBackend() = default;

    // Puts the form on screen (creating its peers on first show) / takes it off.
    virtual void ShowForm(TCustomForm& form) = 0;
    virtual void HideForm(TCustomForm& form) = 0;
    // Processes the user's input until the application is terminated.
    virtual void RunLoop(TApplication& app) = 0;
    // The application was asked to terminate: wake the loop.
    virtual void Terminating() {}
    virtual void MessageBox(const AnsiString& text, const AnsiString& caption) = 0;
    // The wait cursor while a handler blocks the user-interface thread.
    virtual void SetBusy(bool busy) { (void)busy; }
};

// The back end of this platform: win32 on Windows, console elsewhere.
std::unique_ptr<TBackend> CreateNativeBackend();
// A native command-line argument as ANSI text (the console's arguments are UTF-8).
AnsiString NativeArgumentToAnsi(const char* argument);

}  // namespace toolkit
