// The Win32 back end with what the dialog does not use: a combo box, a close handler that refuses, and the
// message loop's exit; the wait cursor while the handler runs.
#include "tests/common/display.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/win32/Win32Backend.h"

using namespace toolkit;

namespace {

struct TPlainForm : TForm {
    explicit TPlainForm(TComponent* owner) : TForm(owner) {
        SetClientSize(300, 200);
        combo = Place(new TComboBox(this), 10, 10, 200, 1);
        edit = Place(new TEdit(this), 10, 80, 100, 0);
        OnClose = [this](TObject*, TCloseAction& action) {
            ++closes;
            cursor = GetCursor();
            if (refuse) action = TCloseAction::caNone;
        };
    }
    template <class C>
    C* Place(C* control, int left, int top, int width, int tabOrder) {
        control->SetParent(this);
        control->SetBounds(left, top, width, 21);
        if constexpr (std::is_base_of_v<TWinControl, C>) control->SetTabOrder(tabOrder);
        return control;
    }
    TComboBox* combo;
    TEdit* edit;
    int closes = 0;
    bool refuse = false;
    HCURSOR cursor = nullptr;
};

struct Win32BackendTest : WindowTest {
    TWin32Backend backend;
    TApplication app;
    TPlainForm* form;
    Win32BackendTest() {
        app.SetBackend(&backend);
        form = app.CreateForm<TPlainForm>();
    }
    HWND W(const TControl* c) { return TWin32Backend::WindowOf(*c); }
};

}  // namespace

TEST_F(Win32BackendTest, ComboBoxFollowsTheModelAndTheUser) {
    form->combo->GetItems()->Add(u"first");
    form->combo->GetItems()->Add(u"second");
    form->Show();
    HWND combo = W(form->combo);
    form->combo->SetItemIndex(1);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    wchar_t text[32] = {};
    GetWindowTextW(combo, text, 32);
    EXPECT_STREQ(text, L"second");
    form->combo->GetItems()->Add(u"third");
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);  // the list follows the model's changes
    // The user picks an item: the list tells its parent, the model follows.
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(form->combo->GetItemIndex(), 0);
    EXPECT_EQ(form->combo->GetText(), "first");
}

TEST_F(Win32BackendTest, AClosingHandlerThatRefusesKeepsTheWindowAndTheLoopGoing) {
    form->refuse = true;
    form->Show();
    SendMessageW(W(form), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->closes, 1);
    EXPECT_EQ(form->cursor, LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT while it runs
    EXPECT_FALSE(backend.Busy());
    EXPECT_TRUE(IsWindowVisible(W(form)));
    EXPECT_FALSE(app.Terminated());
    form->refuse = false;
    SendMessageW(W(form), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->closes, 2);
    EXPECT_FALSE(IsWindowVisible(W(form)));
    EXPECT_TRUE(app.Terminated());
}

TPlainForm* running;  // the form AQuitMessageEndsTheLoop waits for

// A timer procedure is stdcall on 32-bit Windows, which a lambda cannot be.
void CALLBACK QuitOnceShown(HWND, UINT, UINT_PTR, DWORD) {
    if (TWin32Backend::WindowOf(*running)) PostQuitMessage(0);
}

TEST_F(Win32BackendTest, AQuitMessageEndsTheLoop) {
    running = form;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, QuitOnceShown);
    app.Run();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(form->closes, 0);
}
