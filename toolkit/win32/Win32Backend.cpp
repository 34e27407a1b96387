// The Win32 back end: windows for forms, panels, radio groups, buttons, edits and combo boxes; labels
// drawn by their parents; DPI scaling; the message loop with the dialog keys.
#include "toolkit/win32/Win32Backend.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/message_box.h"
#include "platform/win32/system_library.h"
#include "toolkit/StdCtrls.h"

namespace toolkit {

AnsiString NativeArgumentToAnsi(const char* argument) { return argument; }  // already the ANSI code page

namespace {

const wchar_t kFormClass[] = L"UfForm";
const wchar_t kPanelClass[] = L"UfGradientPanel";
const wchar_t kGroupClass[] = L"UfRadioGroup";
const wchar_t kOldProcProp[] = L"UfOldWndProc";
// IDC_WAIT, IDC_ARROW and IDI_APPLICATION as wide resources (the headers' are 8-bit without UNICODE).
const LPCWSTR kWaitCursor = MAKEINTRESOURCEW(32514);
const LPCWSTR kArrowCursor = MAKEINTRESOURCEW(32512);
const LPCWSTR kAppIcon = MAKEINTRESOURCEW(32512);
const LPCWSTR kProgramIcon = MAKEINTRESOURCEW(1);  // the program's own, when its resources have one
constexpr int kFirstControlId = 100;  // below are IDOK, IDCANCEL and friends of the dialog manager

template <class T>
T Proc(HMODULE module, const char* name) {
    return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The DPI functions of later Windows versions, found at run time so that the program starts on older ones.
struct DpiApi {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
};

const DpiApi& Dpi() {
    static const DpiApi api = [] {
        DpiApi a;
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        a.getDpiForWindow = Proc<decltype(a.getDpiForWindow)>(user32, "GetDpiForWindow");
        a.adjustWindowRectExForDpi = Proc<decltype(a.adjustWindowRectExForDpi)>(user32, "AdjustWindowRectExForDpi");
        a.getSystemMetricsForDpi = Proc<decltype(a.getSystemMetricsForDpi)>(user32, "GetSystemMetricsForDpi");
        a.getDpiForMonitor = platform::SystemFunction<decltype(a.getDpiForMonitor)>(L"shcore.dll", "GetDpiForMonitor");
        return a;
    }();
    return api;
}

// Per-monitor awareness where Windows has it (10 1703+, then 8.1), else system awareness (Vista+).
void EnableDpiAwareness() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    // The manifest's setting has made the process aware where the system reads it; changing it fails.
    if (auto isAware = Proc<BOOL(WINAPI*)()>(user32, "IsProcessDPIAware"); isAware && isAware()) return;
    if (auto setContext = Proc<BOOL(WINAPI*)(HANDLE)>(user32, "SetProcessDpiAwarenessContext")) {
        if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) ||   // per monitor, v2
            setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3))))     // per monitor
            return;
    }
    if (auto setAwareness = platform::SystemFunction<HRESULT(WINAPI*)(int)>(L"shcore.dll", "SetProcessDpiAwareness")) {
        if (SUCCEEDED(setAwareness(2))) return;
    }
    if (auto setAware = Proc<BOOL(WINAPI*)()>(user32, "SetProcessDPIAware")) setAware();
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

int DpiAtPoint(POINT pt) {
    if (Dpi().getDpiForMonitor) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(Dpi().getDpiForMonitor(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), 0, &x, &y)) && y)
            return static_cast<int>(y);
    }
    return ScreenDpi();
}

const wchar_t* WideChars(const WideString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

WideString WindowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return WideString(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(std::max(got, 0)));
}

COLORREF ColorOf(TColor c) { return IsSystemColor(c) ? GetSysColor(static_cast<int>(c & 0xFF)) : (c & 0xFFFFFF); }

HBRUSH BrushOf(TColor c) {
    if (IsSystemColor(c)) return GetSysColorBrush(static_cast<int>(c & 0xFF));
    static std::map<TColor, HBRUSH> brushes;  // lives as long as the process, a handful at most
    HBRUSH& b = brushes[c];
    if (!b) b = CreateSolidBrush(ColorOf(c));
    return b;
}

class FormPeer;

LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

// A control's face. Windowed peers keep their window's GWLP_USERDATA pointing here.
class Peer : public TControlPeer {
public:
    Peer(TWin32Backend& backend, TControl& control, FormPeer* form)
        : backend_(backend), control_(control), form_(form) {}
    ~Peer() override { DestroyOwnWindow(); }

    TControl& Control() const { return control_; }
    HWND Window() const { return hwnd_; }
    FormPeer* Form() const { return form_; }
    TWin32Backend& Backend() const { return backend_; }

    void Sync() final {
        if (syncing_) return;
        syncing_ = true;
        try {
            Apply();
        } catch (...) {
            syncing_ = false;
            throw;
        }
        syncing_ = false;
    }
    bool Syncing() const { return syncing_; }

    virtual void Create(HWND parent) = 0;
    // Model to screen; runs on every change of the model.
    virtual void Apply() = 0;
    // A notification (WM_COMMAND code) from this control's window or one of its parts.
    virtual void Command(UINT code, HWND from) { (void)code; (void)from; }
    // Messages of this back end's own window classes; true when handled.
    virtual bool Message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
        (void)msg; (void)wp; (void)lp; (void)result;
        return false;
    }
    // The window that takes the focus for this control.
    virtual HWND FocusWindow() const { return hwnd_; }

    int DpiValue() const;
    int S(int v) const { return MulDiv(v, DpiValue(), 96); }
    HFONT FontHandle() const { return backend_.FontFor(control_.Font(), DpiValue()); }
    HWND ParentWindow() const {
        TWinControl* parent = control_.GetParent();
        auto* peer = parent ? static_cast<Peer*>(parent->Peer()) : nullptr;
        return peer ? peer->Window() : nullptr;
    }
    RECT ScaledBounds() const {
        RECT r{S(control_.Left()), S(control_.Top()), 0, 0};
        r.right = r.left + S(control_.Width());
        r.bottom = r.top + S(control_.Height());
        return r;
    }
    static Peer* Of(HWND hwnd) { return hwnd ? reinterpret_cast<Peer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr; }

protected:
    HWND CreateChild(const wchar_t* cls, DWORD style, DWORD exStyle, HWND parent, int height = -1) {
        RECT r = ScaledBounds();
        static int nextId = kFirstControlId;
        hwnd_ = CreateWindowExW(exStyle, cls, L"", style | WS_CHILD | WS_CLIPSIBLINGS, r.left, r.top,
                                r.right - r.left, height >= 0 ? height : r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)), GetModuleHandleW(nullptr),
                                this);
        if (!hwnd_) throw Exception("Cannot create the window of " + control_.GetName());
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        // Later controls lie above earlier ones, as they were designed (the edit over the radio group).
        SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return hwnd_;
    }
    void ApplyCommon() {
        if (!hwnd_) return;
        RECT r = ScaledBounds();
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
        ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
    }
    void ApplyText() {
        if (hwnd_ && WindowText(hwnd_) != control_.GetTextW()) SetWindowTextW(hwnd_, WideChars(control_.GetTextW()));
    }
    void DestroyOwnWindow() {
        if (hwnd_ && IsWindow(hwnd_)) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);  // no more calls into a model that is going away
            DestroyWindow(hwnd_);
        }
        hwnd_ = nullptr;
    }

    HWND hwnd_ = nullptr;

private:
    TWin32Backend& backend_;
    TControl& control_;
    FormPeer* form_;
    bool syncing_ = false;
};

// Draws the labels that lie on a windowed control.
void PaintLabels(HDC dc, const TWinControl& parent, const Peer& parentPeer, TColor background) {
    for (TControl* c : parent.Controls()) {
        auto* label = dynamic_cast<TLabel*>(c);
        if (!label || !label->Visible()) continue;
        RECT r{parentPeer.S(label->Left()), parentPeer.S(label->Top()), 0, 0};
        r.right = r.left + parentPeer.S(label->Width());
        r.bottom = r.top + parentPeer.S(label->Height());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorOf(label->Font().Color));
        HGDIOBJ old = SelectObject(dc, parentPeer.Backend().FontFor(label->Font(), parentPeer.DpiValue()));
        UINT align = label->Alignment() == TAlignment::taCenter      ? DT_CENTER
                     : label->Alignment() == TAlignment::taRightJustify ? DT_RIGHT
                                                                         : DT_LEFT;
        // The product name is shown as given: "&" is a character, not an accelerator.
        const UINT format = align | DT_NOPREFIX | DT_EXPANDTABS;
        if (label->AutoSize()) {
            RECT need = r;
            DrawTextW(dc, WideChars(label->GetTextW()), -1, &need, format | DT_CALCRECT);
            r.right = std::max(r.right, need.right);
            r.bottom = std::max(r.bottom, need.bottom);
        }
        if (!label->Transparent())
            FillRect(dc, &r, BrushOf(label->Color() == clDefault ? background : label->Color()));
        DrawTextW(dc, WideChars(label->GetTextW()), -1, &r, format);
        SelectObject(dc, old);
    }
}

// A label: no window; a change repaints its place on the parent.
class LabelPeer : public Peer {
public:
    using Peer::Peer;
    void Create(HWND) override {}
    void Apply() override {
        HWND parent = ParentWindow();
        if (!parent) return;
        InvalidateRect(parent, nullptr, TRUE);  // also where the label was before a move
    }
};

// Windows holding other controls: forms, panels, radio groups. Their children report here.
class ContainerPeer : public Peer {
public:
    using Peer::Peer;

    TColor Background() const {
        return Control().Color() == clDefault
                   ? (Control().GetParent() ? static_cast<const ContainerPeer*>(Control().GetParent()->Peer())->Background()
                                            : clBtnFace)
                   : Control().Color();
    }

    bool Message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
        case WM_COMMAND:
            if (lp) {
                if (Peer* child = Of(reinterpret_cast<HWND>(lp))) child->Command(HIWORD(wp), reinterpret_cast<HWND>(lp));
            }
            result = 0;
            return true;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, ColorOf(Background()));
            SetTextColor(dc, ColorOf(Control().Font().Color));
            result = reinterpret_cast<LRESULT>(BrushOf(Background()));
            return true;
        }
        case WM_ERASEBKGND:
            result = 1;  // WM_PAINT covers everything
            return true;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Window(), &ps);
            RECT client;
            GetClientRect(Window(), &client);
            // Drawn off screen first so that the gradient does not flicker.
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP bmp = CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
            HGDIOBJ oldBmp = SelectObject(mem, bmp);
            PaintBackground(mem, client);
            PaintLabels(mem, static_cast<const TWinControl&>(Control()), *this, Background());
            BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
            SelectObject(mem, oldBmp);
            DeleteObject(bmp);
            DeleteDC(mem);
            EndPaint(Window(), &ps);
            result = 0;
            return true;
        }
        case WM_SETCURSOR:
            if (Backend().Busy()) {
                SetCursor(LoadCursorW(nullptr, kWaitCursor));
                result = TRUE;
                return true;
            }
            return false;
        default:
            return false;
        }
    }

protected:
    virtual void PaintBackground(HDC dc, const RECT& client) { FillRect(dc, &client, BrushOf(Background())); }
};

class FormPeer : public ContainerPeer {
public:
    FormPeer(TWin32Backend& backend, TCustomForm& form, int dpi) : ContainerPeer(backend, form, this), dpi_(dpi) {}

    TCustomForm& FormControl() const { return static_cast<TCustomForm&>(Control()); }
    int FormDpi() const { return dpi_; }

    void Create(HWND) override {
        style_ = WS_CLIPCHILDREN;
        exStyle_ = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
        switch (FormControl().BorderStyle) {
        case TFormBorderStyle::bsDialog:
            style_ |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
            exStyle_ |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
            break;
        case TFormBorderStyle::bsSingle:
            style_ |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            break;
        case TFormBorderStyle::bsSizeable:
            style_ |= WS_OVERLAPPEDWINDOW;
            break;
        case TFormBorderStyle::bsNone:
            style_ |= WS_POPUP;
            break;
        }
        RECT r = WindowRect();
        hwnd_ = CreateWindowExW(exStyle_, kFormClass, WideChars(Control().GetTextW()), style_, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        if (!hwnd_) throw Exception("Cannot create the window of " + Control().GetName());
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    // The designed screen position; the window's size follows from the client area and the frame.
    RECT WindowRect() const {
        RECT r{0, 0, S(FormControl().ClientWidth()), S(FormControl().ClientHeight())};
        if (Dpi().adjustWindowRectExForDpi)
            Dpi().adjustWindowRectExForDpi(&r, style_, FALSE, exStyle_, static_cast<UINT>(dpi_));
        else
            AdjustWindowRectEx(&r, style_, FALSE, exStyle_);
        OffsetRect(&r, S(Control().Left()) - r.left, S(Control().Top()) - r.top);
        return r;
    }

    void Apply() override {
        if (!hwnd_) return;
        ApplyText();
        RECT r = WindowRect();
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        FitClientArea();
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    // The frame the system really draws may differ from the computed one (a DPI the frame does not follow,
    // a themed caption): grow or shrink the window until the client area is the designed one.
    void FitClientArea() {
        RECT client, window;
        GetClientRect(hwnd_, &client);
        GetWindowRect(hwnd_, &window);
        const int dw = S(FormControl().ClientWidth()) - client.right;
        const int dh = S(FormControl().ClientHeight()) - client.bottom;
        if (dw || dh)
            SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + dw, window.bottom - window.top + dh,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    bool Message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
        case WM_CLOSE:
            // The close box, the system menu and Alt+F4 take the path of TCustomForm::Close.
            FormControl().Close();
            result = 0;
            return true;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
                return false;
            }
            if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_)) {
                SetFocus(lastFocus_);
                result = 0;
                return true;
            }
            return false;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wp);
            const RECT* suggested = reinterpret_cast<const RECT*>(lp);
            Relayout(FormControl());
            RECT r = WindowRect();
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            FitClientArea();
            result = 0;
            return true;
        }
        default:
            return ContainerPeer::Message(msg, wp, lp, result);
        }
    }

    // Lays every control out again, for a new DPI.
    static void Relayout(TWinControl& parent) {
        for (TControl* c : parent.Controls()) {
            if (c->Peer()) c->Peer()->Sync();
            if (auto* w = dynamic_cast<TWinControl*>(c)) Relayout(*w);
        }
        if (parent.Peer()) InvalidateRect(static_cast<Peer*>(parent.Peer())->Window(), nullptr, TRUE);
    }

    void Remember(HWND focus) { lastFocus_ = focus; }

private:
    int dpi_;
    DWORD style_ = 0, exStyle_ = 0;
    HWND lastFocus_ = nullptr;
};

int Peer::DpiValue() const { return form_ ? form_->FormDpi() : 96; }

class PanelPeer : public ContainerPeer {
public:
    using ContainerPeer::ContainerPeer;
    TGradientPanel& Panel() const { return static_cast<TGradientPanel&>(Control()); }

    void Create(HWND parent) override { CreateChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent); }
    void Apply() override {
        ApplyCommon();
        if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
    }

protected:
    void PaintBackground(HDC dc, const RECT& client) override {
        const int steps = std::max(1, Panel().GradientSteps);
        const COLORREF from = ColorOf(Panel().BeginColor), to = ColorOf(Panel().EndColor);
        const int width = client.right - client.left;
        for (int i = 0; i < steps; ++i) {
            // Band i takes its share of the width; the first band is BeginColor, the last EndColor.
            RECT band{client.left + MulDiv(i, width, steps), client.top, client.left + MulDiv(i + 1, width, steps),
                      client.bottom};
            if (band.right <= band.left) continue;
            auto mix = [&](int a, int b) { return steps == 1 ? a : a + (b - a) * i / (steps - 1); };
            HBRUSH brush = CreateSolidBrush(RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                                                mix(GetBValue(from), GetBValue(to))));
            FillRect(dc, &band, brush);
            DeleteObject(brush);
        }
        RECT edge = client;
        if (Panel().BevelOuter == TBevelCut::bvRaised) DrawEdge(dc, &edge, BDR_RAISEDOUTER, BF_RECT);
        if (Panel().BevelOuter == TBevelCut::bvLowered) DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
        if (!Panel().GetTextW().empty()) {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorOf(Panel().Font().Color));
            HGDIOBJ old = SelectObject(dc, FontHandle());
            RECT text = client;
            DrawTextW(dc, WideChars(Panel().GetTextW()), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
        }
    }
};

// Keeps the focus rectangle of a radio button hidden, whatever the keyboard cues say.
LRESULT CALLBACK NoFocusRectProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kOldProcProp));
    if (msg == WM_UPDATEUISTATE && LOWORD(wp) == UIS_CLEAR && (HIWORD(wp) & UISF_HIDEFOCUS)) {
        WORD flags = HIWORD(wp) & ~UISF_HIDEFOCUS;
        if (!flags) return 0;
        wp = MAKEWPARAM(UIS_CLEAR, flags);
    }
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, kOldProcProp);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return CallWindowProcW(old, hwnd, msg, wp, lp);
}

class RadioGroupPeer : public ContainerPeer {
public:
    using ContainerPeer::ContainerPeer;
    TCustomRadioGroup& Group() const { return static_cast<TCustomRadioGroup&>(Control()); }

    void Create(HWND parent) override { CreateChild(kGroupClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent); }

    void Apply() override {
        ApplyCommon();
        if (!hwnd_) return;
        const TWideStrings& items = *Group().GetItems();
        while (static_cast<int>(buttons_.size()) > items.Count()) {
            DestroyWindow(buttons_.back());
            buttons_.pop_back();
        }
        while (static_cast<int>(buttons_.size()) < items.Count()) AddButton();
        LayoutButtons();
        for (int i = 0; i < items.Count(); ++i) {
            HWND b = buttons_[static_cast<std::size_t>(i)];
            if (WindowText(b) != items.Get(i)) SetWindowTextW(b, WideChars(items.Get(i)));
            SendMessageW(b, BM_SETCHECK, i == Group().GetItemIndex() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void Command(UINT code, HWND from) override {
        if (code != BN_CLICKED || Syncing()) return;
        auto it = std::find(buttons_.begin(), buttons_.end(), from);
        if (it != buttons_.end()) Group().SetItemIndex(static_cast<int>(it - buttons_.begin()));
    }

    HWND FocusWindow() const override {
        int index = Group().GetItemIndex();
        if (index >= 0 && index < static_cast<int>(buttons_.size())) return buttons_[static_cast<std::size_t>(index)];
        return buttons_.empty() ? hwnd_ : buttons_.front();
    }

protected:
    void PaintBackground(HDC dc, const RECT& client) override {
        ContainerPeer::PaintBackground(dc, client);
        HGDIOBJ old = SelectObject(dc, FontHandle());
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        RECT frame = client;
        frame.top += tm.tmHeight / 2 - 1;
        if (Group().Flat)
            FrameRect(dc, &frame, GetSysColorBrush(COLOR_BTNSHADOW));
        else
            DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        if (!Group().GetTextW().empty()) {
            RECT text{S(8), 0, client.right - S(8), tm.tmHeight};
            DrawTextW(dc, WideChars(Group().GetTextW()), -1, &text, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, ColorOf(Background()));
            SetTextColor(dc, ColorOf(Group().Font().Color));
            DrawTextW(dc, WideChars(Group().GetTextW()), -1, &text, DT_SINGLELINE | DT_NOPREFIX);
        }
        SelectObject(dc, old);
    }

private:
    void AddButton() {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_AUTORADIOBUTTON;
        if (buttons_.empty()) style |= WS_GROUP | WS_TABSTOP;
        HWND b = CreateWindowExW(0, L"BUTTON", L"", style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + buttons_.size())),
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(b, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!Group().ShowFocus) {
            SetPropW(b, kOldProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrW(b, GWLP_WNDPROC)));
            SetWindowLongPtrW(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoFocusRectProc));
            SendMessageW(b, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
        }
        buttons_.push_back(b);
    }

    // One column: the rows share the height below half a text line, each button as wide as its text so
    // that controls laid over the group's free space stay uncovered.
    void LayoutButtons() {
        if (buttons_.empty()) return;
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, FontHandle());
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        RECT client;
        GetClientRect(hwnd_, &client);
        const int n = static_cast<int>(buttons_.size());
        const int top = tm.tmHeight + 1;
        const int usable = std::max<int>(0, client.bottom - top - S(4));
        const int row = usable / n;
        const int check = Dpi().getSystemMetricsForDpi ? Dpi().getSystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(DpiValue()))
                                                        : S(GetSystemMetrics(SM_CXMENUCHECK));
        const int maxWidth = std::max<int>(0, client.right - S(16));
        for (int i = 0; i < n; ++i) {
            HWND b = buttons_[static_cast<std::size_t>(i)];
            const WideString& text = Group().GetItems()->Get(i);
            SIZE size{0, 0};
            GetTextExtentPoint32W(dc, WideChars(text), static_cast<int>(text.size()), &size);
            const int width = std::min<int>(maxWidth, check + S(8) + size.cx);
            SetWindowPos(b, nullptr, S(8), top + i * row + (usable % n) / 2, width, row, SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
        }
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
    }

    std::vector<HWND> buttons_;
};

class ButtonPeer : public Peer {
public:
    using Peer::Peer;
    void Create(HWND parent) override {
        bool isDefault = false;
        if (auto* b = dynamic_cast<TPushButton*>(&Control())) isDefault = b->Default;
        CreateChild(L"BUTTON", WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, parent);
    }
    void Apply() override {
        ApplyCommon();
        ApplyText();
    }
    void Command(UINT code, HWND) override {
        if (code == BN_CLICKED) Control().Click();
    }
};

class EditPeer : public Peer {
public:
    using Peer::Peer;
    void Create(HWND parent) override {
        CreateChild(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, parent);
        if (auto c = static_cast<TEdit&>(Control()).PasswordChar) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(c), 0);
    }
    void Apply() override {
        ApplyCommon();
        ApplyText();
    }
    void Command(UINT code, HWND) override {
        if (code == EN_CHANGE && !Syncing()) Control().SetTextW(WindowText(hwnd_));
    }
};

class ComboPeer : public Peer {
public:
    using Peer::Peer;
    TCustomComboBox& Combo() const { return static_cast<TCustomComboBox&>(Control()); }
    void Create(HWND parent) override {
        CreateChild(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, parent);
    }
    void Apply() override {
        ApplyCommon();
        if (!hwnd_) return;
        // The window's height includes the drop-down list.
        RECT r = ScaledBounds();
        SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + S(8 * 16), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const auto& items = Combo().GetItems()->Items();
        if (items != shownItems_) {
            SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
            for (const WideString& item : items) SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideChars(item)));
            shownItems_ = items;
        }
        SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(Combo().GetItemIndex()), 0);
        ApplyText();
    }
    void Command(UINT code, HWND) override {
        if (Syncing()) return;
        if (code == CBN_SELCHANGE) Combo().SetItemIndex(static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)));
        if (code == CBN_EDITCHANGE) Control().SetTextW(WindowText(hwnd_));
    }

private:
    std::vector<WideString> shownItems_;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    Peer* peer = Peer::Of(hwnd);
    if (peer) {
        // No error may cross the system's frames; the application shows it, as for any handler.
        try {
            LRESULT result = 0;
            if (peer->Message(msg, wp, lp, result)) return result;
        } catch (...) {
            if (Application) Application->ShowException(std::current_exception());
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, kArrowCursor);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(wc.hInstance, kProgramIcon);
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, kAppIcon);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
    wc.hIcon = nullptr;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kPanelClass;
    RegisterClassExW(&wc);
    wc.lpszClassName = kGroupClass;
    RegisterClassExW(&wc);
    done = true;
}

std::unique_ptr<Peer> MakePeer(TWin32Backend& backend, TControl& control, FormPeer* form) {
    if (dynamic_cast<TLabel*>(&control)) return std::make_unique<LabelPeer>(backend, control, form);
    if (dynamic_cast<TGradientPanel*>(&control)) return std::make_unique<PanelPeer>(backend, control, form);
    if (dynamic_cast<TCustomRadioGroup*>(&control)) return std::make_unique<RadioGroupPeer>(backend, control, form);
    if (dynamic_cast<TButtonControl*>(&control)) return std::make_unique<ButtonPeer>(backend, control, form);
    if (dynamic_cast<TEdit*>(&control)) return std::make_unique<EditPeer>(backend, control, form);
    if (dynamic_cast<TCustomComboBox*>(&control)) return std::make_unique<ComboPeer>(backend, control, form);
    return nullptr;  // a kind this back end does not show
}

void CreatePeers(TWin32Backend& backend, TWinControl& parent, FormPeer* form) {
    HWND parentWindow = static_cast<Peer*>(parent.Peer())->Window();
    for (TControl* c : parent.Controls()) {
        std::unique_ptr<Peer> peer = MakePeer(backend, *c, form);
        if (!peer) continue;
        Peer* raw = peer.get();
        raw->Create(parentWindow);
        c->SetPeer(std::move(peer));
        if (auto* w = dynamic_cast<TWinControl*>(c)) CreatePeers(backend, *w, form);
    }
}

void SyncAll(TWinControl& parent) {
    for (TControl* c : parent.Controls()) {
        if (c->Peer()) c->Peer()->Sync();
        if (auto* w = dynamic_cast<TWinControl*>(c)) SyncAll(*w);
    }
}

// The controls Tab visits, in TabOrder, containers entered in place.
void CollectTabStops(const TWinControl& parent, std::vector<TWinControl*>& out) {
    std::vector<TWinControl*> children;
    for (TControl* c : parent.Controls())
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) children.push_back(w);
    std::stable_sort(children.begin(), children.end(),
                     [](const TWinControl* a, const TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
    for (TWinControl* w : children) {
        if (w->TabStop() && w->Peer()) out.push_back(w);
        if (!dynamic_cast<TCustomRadioGroup*>(w)) CollectTabStops(*w, out);
    }
}

// The form behind a top-level window of this back end; null for any other window (a message box, say),
// whose GWLP_USERDATA is none of our business.
FormPeer* FormPeerOf(HWND hwnd) {
    if (!hwnd) return nullptr;
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (wcscmp(name, kFormClass) != 0) return nullptr;
    return static_cast<FormPeer*>(Peer::Of(hwnd));
}

void FocusControl(TWinControl& control, bool selectText) {
    auto* peer = static_cast<Peer*>(control.Peer());
    if (!peer) return;
    HWND target = peer->FocusWindow();
    SetFocus(target);
    if (selectText && dynamic_cast<TEdit*>(&control)) SendMessageW(target, EM_SETSEL, 0, -1);
}

}  // namespace

std::unique_ptr<TBackend> CreateNativeBackend() { return std::make_unique<TWin32Backend>(); }

TWin32Backend::TWin32Backend() {
    static bool aware = false;
    if (!aware) {
        // The manifest makes the process per-monitor aware from the start; the call is for systems that
        // ignore it. The common controls of the manifest's version 6 draw in the system's visual style.
        EnableDpiAwareness();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        aware = true;
    }
    RegisterClasses();
}

TWin32Backend::~TWin32Backend() {
    for (auto& [key, font] : fonts_) DeleteObject(font);
}

HFONT TWin32Backend::FontFor(const TFont& font, int dpi) {
    std::string key = font.Name + '|' + std::to_string(font.Height) + '|' + std::to_string(font.Charset) + '|' +
                      (font.Bold ? "b" : "n") + '|' + std::to_string(dpi);
    HFONT& f = fonts_[key];
    if (!f) {
        WideString face = platform::AnsiToWide(font.Name);
        // A negative height asks for the character height, without the internal leading.
        f = CreateFontW(-MulDiv(font.Height, dpi, 96), 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        static_cast<DWORD>(font.Charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, WideChars(face));
    }
    return f;
}

void TWin32Backend::ShowForm(TCustomForm& form) {
    auto* peer = static_cast<FormPeer*>(form.Peer());
    if (!peer) {
        int dpi = dpiOverride_ ? dpiOverride_ : DpiAtPoint(POINT{form.Left(), form.Top()});
        auto owned = std::make_unique<FormPeer>(*this, form, dpi);
        peer = owned.get();
        peer->Create(nullptr);
        form.SetPeer(std::move(owned));
        CreatePeers(*this, form, peer);
        peer->Sync();
        SyncAll(form);
    }
    ShowWindow(peer->Window(), SW_SHOW);
    UpdateWindow(peer->Window());
    SetForegroundWindow(peer->Window());
    if (form.ActiveControl) {
        FocusControl(*form.ActiveControl, false);
    } else {
        std::vector<TWinControl*> stops;
        CollectTabStops(form, stops);
        if (!stops.empty()) FocusControl(*stops.front(), false);
    }
    peer->Remember(GetFocus());
}

void TWin32Backend::HideForm(TCustomForm& form) {
    if (auto* peer = static_cast<Peer*>(form.Peer())) ShowWindow(peer->Window(), SW_HIDE);
}

bool TWin32Backend::HandleTab(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    if ((GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000)) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    FormPeer* form = FormPeerOf(root);
    if (!form) return false;
    std::vector<TWinControl*> stops;
    CollectTabStops(form->FormControl(), stops);
    if (stops.empty()) return true;
    HWND focus = GetFocus();
    int current = -1;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        HWND w = static_cast<Peer*>(stops[i]->Peer())->Window();
        if (focus == w || IsChild(w, focus)) current = static_cast<int>(i);
    }
    const int n = static_cast<int>(stops.size());
    const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    int next = current < 0 ? (back ? n - 1 : 0) : (current + (back ? n - 1 : 1)) % n;
    FocusControl(*stops[static_cast<std::size_t>(next)], true);
    return true;
}

void TWin32Backend::Dispatch(MSG& msg) {
    if (HandleTab(msg)) return;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (FormPeerOf(root) && IsDialogMessageW(root, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TWin32Backend::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
            return;
        }
        Dispatch(msg);
    }
}

void TWin32Backend::RunLoop(TApplication& app) {
    while (!app.Terminated()) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {  // WM_QUIT from elsewhere, or a broken queue: end rather than spin
            app.Terminate();
            break;
        }
        Dispatch(msg);
    }
}

void TWin32Backend::Terminating() {
    // The loop checks Terminated after every message; this one makes sure it gets one.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void TWin32Backend::MessageBox(const AnsiString& text, const AnsiString& caption) {
    platform::ShowMessageBox(caption, text);
}

void TWin32Backend::SetBusy(bool busy) {
    busyDepth_ += busy ? 1 : -1;
    if (busyDepth_ < 0) busyDepth_ = 0;
    // The handler blocks the loop, so the cursor changes now rather than at the next WM_SETCURSOR.
    SetCursor(LoadCursorW(nullptr, busyDepth_ > 0 ? kWaitCursor : kArrowCursor));
}

HWND TWin32Backend::WindowOf(const TControl& control) {
    auto* peer = static_cast<Peer*>(control.Peer());
    return peer ? peer->Window() : nullptr;
}

int TWin32Backend::DpiOf(const TCustomForm& form) {
    auto* peer = static_cast<FormPeer*>(form.Peer());
    return peer ? peer->FormDpi() : 0;
}

}  // namespace toolkit
