// The dialog as a real window, checked through the Win32 API: layout at two DPIs, frame, fonts, radio
// buttons and the close paths.
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

    void Start(int dpi = 96) {
        reports = 0;
        backend.SetDpiOverride(dpi);
        app = std::make_unique<TApplication>();
        app->SetBackend(&backend);
        const char* argv[] = {"UninstallFeedback.exe", "My_Product"};
        app->SetArguments(2, argv);
        form = app->CreateForm<TUninstallMainForm>();
        form->Report = [this](const TUninstallMainForm&) { ++reports; };
        form->Show();
        backend.ProcessMessages();
    }
    void TearDown() override { app.reset(); }

    HWND Window(const TControl* c) const { return TWin32Backend::WindowOf(*c); }
    std::vector<HWND> RadioButtons() const {  // top to bottom
        std::vector<HWND> out;
        for (HWND h = GetWindow(Window(form->rgReason), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
        std::sort(out.begin(), out.end(), [](HWND a, HWND b) {
            RECT ra, rb;
            return GetWindowRect(a, &ra), GetWindowRect(b, &rb), ra.top < rb.top;
        });
        return out;
    }
};

// A window's rectangle in the form's client coordinates, as left, top, width, height.
std::vector<LONG> Bounds(HWND h, HWND form) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring Text(HWND h) {
    wchar_t buffer[256] = {};
    GetWindowTextW(h, buffer, 256);
    return buffer;
}

}  // namespace

TEST_F(Win32DialogTest, DesignedLayoutFrameAndFontsAtNinetySixAndOneHundredFortyFourDpi) {
    for (int dpi : {96, 144}) {
        Start(dpi);
        auto scaled = [dpi](std::vector<LONG> v) {
            for (LONG& x : v) x = MulDiv(x, dpi, 96);
            return v;
        };
        HWND w = Window(form);
        RECT client, frame;
        GetClientRect(w, &client);
        GetWindowRect(w, &frame);
        EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, client.right, client.bottom}), scaled({206, 173, 422, 287}));
        EXPECT_EQ(Bounds(Window(form->pnHeader), w), scaled({4, 8, 412, 20}));
        EXPECT_EQ(Bounds(Window(form->rgReason), w), scaled({16, 64, 389, 181}));
        EXPECT_EQ(Bounds(Window(form->edOther), w), scaled({94, 214, 301, 21}));
        EXPECT_EQ(Bounds(Window(form->bnDelete), w), scaled({328, 252, 75, 25}));
        for (HWND h : {Window(form->edOther), Window(form->bnDelete), RadioButtons().at(0)}) {
            LOGFONTW lf{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
            EXPECT_EQ(lf.lfHeight, -MulDiv(11, dpi, 96));
            EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
            EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
        }
    }
    HWND w = Window(form);
    EXPECT_EQ(Text(w), L"Uninstall");
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
}

TEST_F(Win32DialogTest, SevenRadioButtonsWithOtherCheckedOnTheEditsLineAndTabOrder) {
    Start();
    const std::vector<HWND> radios = RadioButtons();
    const wchar_t* expected[] = {L"Unstable", L"Lacks some functions", L"Resource hungry", L"Unfriendly interface",
                                 L"Too expensive", L"Upgrade version", L"Other"};
    ASSERT_EQ(radios.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Text(radios[i]), expected[i]);
        EXPECT_EQ(SendMessageW(radios[i], BM_GETCHECK, 0, 0), i == 6 ? BST_CHECKED : BST_UNCHECKED);
    }
    const auto other = Bounds(radios[6], Window(form)), edit = Bounds(Window(form->edOther), Window(form));
    EXPECT_NEAR(other[1] + other[3] / 2, edit[1] + edit[3] / 2, edit[3] / 2);
    EXPECT_LE(other[0] + other[2], edit[0]);  // the choice's label stays left of the edit
    // Focus starts in the edit; Tab goes to the checked choice, the button and back.
    for (HWND next : {Window(form->edOther), radios[6], Window(form->bnDelete), Window(form->edOther)}) {
        EXPECT_EQ(GetFocus(), next);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        backend.ProcessMessages();
    }
    SendMessageW(radios[2], BM_CLICK, 0, 0);
    backend.ProcessMessages();
    EXPECT_EQ(form->rgReason->GetItemIndex(), 2);
}

// The window's guard: the button, the close box and Alt+F4 take one path, and a closed dialog sends nothing.
TEST_F(Win32DialogTest, EveryClosePathReportsOnceAndEndsTheApplication) {
    const std::pair<UINT, WPARAM> closes[] = {{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}, {BM_CLICK, 0}};
    for (const auto& [message, wparam] : closes) {
        Start();
        SendMessageW(message == BM_CLICK ? Window(form->bnDelete) : Window(form), message, wparam, 0);
        EXPECT_TRUE(app->Terminated());
        EXPECT_FALSE(IsWindowVisible(Window(form)));
        SendMessageW(Window(form), WM_CLOSE, 0, 0);
        EXPECT_EQ(reports, 1);
    }
}
