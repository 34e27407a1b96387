#pragma once
// The Win32 back end: real windows for the model. Forms are top-level windows; panels and radio groups
// are windows of this back end's own classes; buttons, radio buttons, edits and combo boxes are the
// system's controls; labels have no window and are drawn by their parent. Everything is laid out in
// 96-dpi design pixels and scaled to the monitor's DPI (the process asks for per-monitor awareness where
// Windows offers it). Tab moves through the controls in their TabOrder.
#include <windows.h>

#include <map>
#include <string>

#include "toolkit/Backend.h"

namespace toolkit {

class TWin32Backend : public TBackend {
public:
    TWin32Backend();
    ~TWin32Backend() override;

    void ShowForm(TCustomForm& form) override;
    void HideForm(TCustomForm& form) override;
    void RunLoop(TApplication& app) override;
    void Terminating() override;
    void MessageBox(const AnsiString& text, const AnsiString& caption) override;
    void SetBusy(bool busy) override;

    // The window of a control once its form is shown (labels have none: null).
    static HWND WindowOf(const TControl& control);
    // The DPI a shown form is laid out for.
    static int DpiOf(const TCustomForm& form);
    // Lays out new forms for this DPI instead of the monitor's (0: the monitor's).
    void SetDpiOverride(int dpi) { dpiOverride_ = dpi; }
    int DpiOverride() const { return dpiOverride_; }

    // One message through the dialog keys (Tab, arrows) and to its window. The loop uses it; so can a
    // test that posts input and then calls ProcessMessages().
    void Dispatch(MSG& msg);
    // Handles every message waiting, without blocking.
    void ProcessMessages();

    bool Busy() const { return busyDepth_ > 0; }
    HFONT FontFor(const TFont& font, int dpi);

private:
    bool HandleTab(const MSG& msg);

    int dpiOverride_ = 0;
    int busyDepth_ = 0;
    std::map<std::string, HFONT> fonts_;
};

}  // namespace toolkit
