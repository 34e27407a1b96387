// The dialog as a real window, checked through the Win32 API: size, position, styles, fonts, colours,
// tab order, focus, DPI scaling and the close paths.
#include <algorithm>

#include "app/UninstallMain.h"
#include "tests/common/display.h"
#include "toolkit/win32/Win32Backend.h"

using namespace toolkit;

namespace {

struct Win32DialogTest : WindowTest {
    TWin32Backend backend;
    std::unique_ptr<TApplication> app;
    TUninstallMainForm* form = nullptr;
    int reports = 0;
    HCURSOR cursorDuringReport = nullptr;

    void Start(int dpi = 0, bool show = true) {
        reports = 0;
        backend.SetDpiOverride(dpi);
        app = std::make_unique<TApplication>();
        app->SetBackend(&backend);
        const char* argv[] = {"UninstallFeedback.exe", "My_Product"};
        app->SetArguments(2, argv);
        app->CreateForm<TUninstallMainForm>();
        form = static_cast<TUninstallMainForm*>(app->MainForm());
        form->Report = [this](const TUninstallMainForm&) {
            ++reports;
            cursorDuringReport = GetCursor();
        };
        if (show) {
            form->Show();
            backend.ProcessMessages();
        }
    }
    void TearDown() override { app.reset(); }

    HWND Window(const TControl* c) const { return TWin32Backend::WindowOf(*c); }
    // A control's rectangle in the form's client coordinates.
    RECT OnForm(const TControl* c) const {
        RECT r;
        GetWindowRect(Window(c), &r);
        MapWindowPoints(nullptr, Window(form), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::vector<HWND> RadioButtons() const {
        std::vector<HWND> out;
        for (HWND h = GetWindow(Window(form->rgReason), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
        std::sort(out.begin(), out.end(), [](HWND a, HWND b) {
            RECT ra, rb;
            GetWindowRect(a, &ra);
            GetWindowRect(b, &rb);
            return ra.top < rb.top;
        });
        return out;
    }
    void PressTab() {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        backend.ProcessMessages();
    }
};

std::wstring Text(HWND h) {
    wchar_t buffer[256] = {};
    GetWindowTextW(h, buffer, 256);
    return buffer;
}

LOGFONTW FontOf(HWND h) {
    LOGFONTW lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof lf, &lf);
    return lf;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

void ExpectRect(const RECT& r, int left, int top, int width, int height) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

}  // namespace

TEST_F(Win32DialogTest, WindowHasTheDesignedClientSizePositionAndDialogFrame) {
    Start();
    HWND w = Window(form);
    ASSERT_TRUE(IsWindowVisible(w));
    RECT client, frame;
    GetClientRect(w, &client);
    GetWindowRect(w, &frame);
    EXPECT_EQ(client.right, 422);
    EXPECT_EQ(client.bottom, 287);
    EXPECT_EQ(frame.left, 206);
    EXPECT_EQ(frame.top, 173);
    EXPECT_EQ(Text(w), L"Uninstall");
    LONG style = GetWindowLongW(w, GWL_STYLE), ex = GetWindowLongW(w, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    // The client area is the button face.
    HDC dc = GetDC(w);
    EXPECT_TRUE(Near(GetPixel(dc, 2, 2), GetSysColor(COLOR_BTNFACE), 0));
    EXPECT_TRUE(Near(GetPixel(dc, 200, 270), GetSysColor(COLOR_BTNFACE), 0));
    ReleaseDC(w, dc);
}

TEST_F(Win32DialogTest, ControlsSitWhereTheyWereDesigned) {
    Start();
    ExpectRect(OnForm(form->pnHeader), 4, 8, 412, 20);
    ExpectRect(OnForm(form->rgReason), 16, 64, 389, 181);
    ExpectRect(OnForm(form->edOther), 94, 214, 301, 21);
    ExpectRect(OnForm(form->bnDelete), 328, 252, 75, 25);
    EXPECT_EQ(Text(Window(form->bnDelete)), L"Uninstall");
    EXPECT_EQ(GetWindowLongW(Window(form->bnDelete), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);  // no default frame
    EXPECT_TRUE(GetWindowLongW(Window(form->edOther), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    // The edit lies over the radio group and above it.
    POINT inEdit{150, 224};
    EXPECT_EQ(ChildWindowFromPointEx(Window(form), inEdit, CWP_SKIPINVISIBLE), Window(form->edOther));
}

TEST_F(Win32DialogTest, SevenRadioButtonsWithOtherCheckedOnTheEditsLine) {
    Start();
    std::vector<HWND> radios = RadioButtons();
    ASSERT_EQ(radios.size(), 7u);
    const wchar_t* expected[] = {L"Unstable", L"Lacks some functions", L"Resource hungry", L"Unfriendly interface",
                                 L"Too expensive", L"Upgrade version", L"Other"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Text(radios[i]), expected[i]);
        EXPECT_EQ(GetWindowLongW(radios[i], GWL_STYLE) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
        EXPECT_EQ(SendMessageW(radios[i], BM_GETCHECK, 0, 0), i == 6 ? BST_CHECKED : BST_UNCHECKED);
    }
    RECT other = OnForm(form->edOther), seventh;
    GetWindowRect(radios[6], &seventh);
    MapWindowPoints(nullptr, Window(form), reinterpret_cast<POINT*>(&seventh), 2);
    const int middle = (seventh.top + seventh.bottom) / 2;
    EXPECT_GE(middle, other.top);
    EXPECT_LE(middle, other.bottom);
    EXPECT_LE(seventh.right, other.left);  // the choice's label stays left of the edit
    // A click on a choice reaches the model.
    SendMessageW(radios[2], BM_CLICK, 0, 0);
    backend.ProcessMessages();
    EXPECT_EQ(form->rgReason->GetItemIndex(), 2);
}

TEST_F(Win32DialogTest, TahomaElevenPixelsCyrillicEverywhere) {
    Start();
    for (HWND h : {Window(form->edOther), Window(form->bnDelete), RadioButtons().at(0)}) {
        LOGFONTW lf = FontOf(h);
        EXPECT_EQ(lf.lfHeight, -11);
        EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
        EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
        EXPECT_LT(lf.lfWeight, FW_BOLD);
    }
}

TEST_F(Win32DialogTest, HeaderIsAGradientWithTheWhiteCaptionAndTheQuestionIsCentred) {
    Start();
    HWND header = Window(form->pnHeader);
    HDC dc = GetDC(header);
    EXPECT_TRUE(Near(GetPixel(dc, 0, 19), GetSysColor(COLOR_BTNSHADOW), 2));
    EXPECT_TRUE(Near(GetPixel(dc, 411, 19), GetSysColor(COLOR_BTNHIGHLIGHT), 2));
    // Brightness grows from left to right.
    EXPECT_LT(GetRValue(GetPixel(dc, 100, 19)) + GetGValue(GetPixel(dc, 100, 19)),
              GetRValue(GetPixel(dc, 300, 19)) + GetGValue(GetPixel(dc, 300, 19)));
    int white = 0;
    for (int x = 6; x < 70; ++x)
        for (int y = 3; y < 17; ++y) white += GetPixel(dc, x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 40);  // "Question:" in bold white
    ReleaseDC(header, dc);

    HDC formDc = GetDC(Window(form));
    int first = -1, last = -1;
    for (int x = 4; x < 417; ++x)
        for (int y = 36; y < 49; ++y)
            if (Near(GetPixel(formDc, x, y), GetSysColor(COLOR_WINDOWTEXT), 40)) {
                if (first < 0) first = x;
                last = x;
            }
    ReleaseDC(Window(form), formDc);
    ASSERT_GE(first, 0);
    EXPECT_NEAR((first + last) / 2.0, 4 + 413 / 2.0, 3.0);
}

TEST_F(Win32DialogTest, FocusStartsInTheEditAndTabFollowsTheTabOrder) {
    Start();
    EXPECT_EQ(GetFocus(), Window(form->edOther));
    PressTab();
    EXPECT_EQ(GetFocus(), RadioButtons().at(6));  // rgReason: its checked choice
    PressTab();
    EXPECT_EQ(GetFocus(), Window(form->bnDelete));
    PressTab();
    EXPECT_EQ(GetFocus(), Window(form->edOther));
    // Typing reaches the model.
    SetWindowTextW(Window(form->edOther), L"too slow");
    EXPECT_EQ(form->edOther->GetText(), "too slow");
}

TEST_F(Win32DialogTest, TheButtonClosesOnceWithTheWaitCursor) {
    Start();
    SendMessageW(Window(form->bnDelete), BM_CLICK, 0, 0);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(cursorDuringReport, LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(IsWindowVisible(Window(form)));
    SendMessageW(Window(form), WM_CLOSE, 0, 0);  // nothing more after the dialog has closed
    EXPECT_EQ(reports, 1);
}

TEST_F(Win32DialogTest, TheCloseBoxAndAltF4TakeTheSamePath) {
    Start();
    SendMessageW(Window(form), WM_CLOSE, 0, 0);
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(app->Terminated());
    Start();
    SendMessageW(Window(form), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(app->Terminated());
}

TUninstallMainForm* running;  // the dialog CloseOnceShown closes

// A timer procedure is stdcall on 32-bit Windows, which a lambda cannot be.
void CALLBACK CloseOnceShown(HWND, UINT, UINT_PTR, DWORD) {
    HWND w = TWin32Backend::WindowOf(*running);
    if (w && IsWindowVisible(w)) PostMessageW(w, WM_CLOSE, 0, 0);
}

TEST_F(Win32DialogTest, RunShowsTheDialogAndReturnsWhenItCloses) {
    Start(0, false);
    running = form;
    // A thread timer, dispatched by the loop itself, closes the dialog once Run has shown it.
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseOnceShown);
    app->Run();  // would never return if the close did not end the loop
    KillTimer(nullptr, timer);
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(app->Terminated());
}

TEST_F(Win32DialogTest, EverythingScalesAboveNinetySixDpi) {
    Start(144);
    EXPECT_EQ(TWin32Backend::DpiOf(*form), 144);
    RECT client, frame;
    GetClientRect(Window(form), &client);
    GetWindowRect(Window(form), &frame);
    EXPECT_EQ(client.right, MulDiv(422, 144, 96));
    EXPECT_EQ(client.bottom, MulDiv(287, 144, 96));
    EXPECT_EQ(frame.left, MulDiv(206, 144, 96));
    ExpectRect(OnForm(form->edOther), MulDiv(94, 144, 96), MulDiv(214, 144, 96), MulDiv(301, 144, 96),
               MulDiv(21, 144, 96));
    EXPECT_EQ(FontOf(Window(form->bnDelete)).lfHeight, -MulDiv(11, 144, 96));
}
