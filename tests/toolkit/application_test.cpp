// The application and its forms: creation handler errors, Run, Terminate, Close.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "toolkit/Backend.h"
#include "toolkit/StdCtrls.h"

using namespace toolkit;

namespace {

struct TTestForm : TForm {
    explicit TTestForm(TComponent* owner) : TForm(owner) {
        button = new TPushButton(this);
        button->SetParent(this);
        button->OnClick = [this](TObject*) { Close(); };
        OnCreate = [this](TObject*) {
            componentsAtCreate = GetComponentCount();
            ++created;
            if (createError) createError();
        };
        OnClose = [this](TObject*, TCloseAction& action) {
            ++closes;
            actionSeen = action;
            if (closeAction) action = *closeAction;
            if (duringClose) duringClose();
        };
    }
    TPushButton* button;
    int created = 0, componentsAtCreate = -1, closes = 0;
    TCloseAction actionSeen = TCloseAction::caNone;
    std::optional<TCloseAction> closeAction;
    std::function<void()> createError, duringClose;

    inline static std::function<void()> nextCreateError;
};

// Applications set themselves up as toolkit::Application; each test has its own with a scripted face.
struct ApplicationTest : ::testing::Test {
    TScriptedBackend backend;
    TApplication app;
    ApplicationTest() { app.SetBackend(&backend); }
};

}  // namespace

TEST_F(ApplicationTest, CreateFormRunsTheCreationHandlerOnceAllComponentsExist) {
    auto* form = app.CreateForm<TTestForm>();
    EXPECT_EQ(Application, &app);
    EXPECT_EQ(app.MainForm(), form);
    EXPECT_EQ(form->created, 1);
    EXPECT_EQ(form->componentsAtCreate, 1);
    EXPECT_EQ(form->GetOwner(), &app);
    auto* second = app.CreateForm<TTestForm>();
    EXPECT_EQ(app.MainForm(), form);  // the first form stays the main one
    EXPECT_EQ(second->created, 1);
}

TEST_F(ApplicationTest, TerminateBeforeRunReturnsWithoutShowingOrWaiting) {
    auto* form = app.CreateForm<TTestForm>();
    app.Terminate();
    int steps = 0;
    backend.Step = [&](TApplication&) { return ++steps, false; };
    app.Run();
    EXPECT_EQ(steps, 0);
    EXPECT_TRUE(backend.Shown.empty());
    EXPECT_FALSE(form->Showing());
    EXPECT_EQ(form->closes, 0);
}

TEST_F(ApplicationTest, ClosingTheMainFormRunsTheHandlerOnceAndEndsTheApplication) {
    auto* form = app.CreateForm<TTestForm>();
    int busyDuringClose = -1;
    form->duringClose = [&] {
        busyDuringClose = backend.BusyDepth;
        form->Close();  // a second request while the handler runs is ignored
    };
    backend.Step = [&](TApplication&) {
        EXPECT_EQ(backend.Shown, (std::vector<const TCustomForm*>{form}));
        form->button->Click();
        form->Close();  // and so is one after the form has closed
        return true;
    };
    app.Run();
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(form->closes, 1);
    EXPECT_EQ(form->actionSeen, TCloseAction::caHide);
    EXPECT_EQ(busyDuringClose, 1);  // the wait cursor shows while the handler blocks
    EXPECT_EQ(backend.BusyDepth, 0);
    EXPECT_TRUE(form->Closed());
    EXPECT_TRUE(backend.Shown.empty());
}

TEST_F(ApplicationTest, CloseActionNoneKeepsTheFormOpen) {
    auto* form = app.CreateForm<TTestForm>();
    form->closeAction = TCloseAction::caNone;
    int step = 0;
    backend.Step = [&](TApplication&) {
        ++step;
        if (step == 2) form->closeAction.reset();
        form->Close();
        return true;
    };
    app.Run();
    EXPECT_EQ(step, 2);
    EXPECT_EQ(form->closes, 2);
    EXPECT_TRUE(app.Terminated());
}

TEST_F(ApplicationTest, ClosingAnotherFormDoesNotEndTheApplication) {
    app.CreateForm<TTestForm>();
    auto* other = app.CreateForm<TTestForm>();
    other->Show();
    other->Close();
    EXPECT_EQ(other->closes, 1);
    EXPECT_FALSE(other->Showing());
    EXPECT_FALSE(app.Terminated());
}

TEST_F(ApplicationTest, AnErrorInTheClosingHandlerLeavesTheFormOpenAndTheCursorNormal) {
    auto* form = app.CreateForm<TTestForm>();
    form->duringClose = [] { throw Exception("network down"); };
    EXPECT_THROW(form->Close(), Exception);
    EXPECT_EQ(backend.BusyDepth, 0);
    EXPECT_FALSE(form->Closed());
    form->duringClose = nullptr;
    form->Close();  // it can be closed again
    EXPECT_EQ(form->closes, 2);
    EXPECT_TRUE(app.Terminated());
}

TEST_F(ApplicationTest, AnErrorEscapingCreationIsShownAndCreationGoesOn) {
    struct Case {
        std::function<void()> raise;
        const char* text;
    };
    const Case cases[] = {
        {[] { throw Exception("Cannot open file \"Uninstall.xml\""); }, "Cannot open file \"Uninstall.xml\""},
        {[] { throw std::runtime_error("outside"); }, "outside"},
        {[] { throw 42; }, "An error occurred outside the general exception class"},
    };
    for (const Case& c : cases) {
        TScriptedBackend local;
        TApplication a;
        a.SetBackend(&local);
        a.Title = "Uninstall";
        // The error comes from the creation handler, after the form's components exist.
        struct TFailing : TTestForm {
            explicit TFailing(TComponent* o) : TTestForm(o) { createError = TTestForm::nextCreateError; }
        };
        TTestForm::nextCreateError = c.raise;
        auto* form = a.CreateForm<TFailing>();
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->created, 1);
        ASSERT_EQ(local.Messages.size(), 1u);
        EXPECT_EQ(local.Messages[0].text, c.text);
        EXPECT_EQ(local.Messages[0].caption, "Uninstall");
        // The form is then shown as usual.
        local.Step = [&](TApplication&) {
            EXPECT_EQ(local.Shown.size(), 1u);
            form->Close();
            return true;
        };
        a.Run();
        EXPECT_EQ(form->closes, 1);
    }
    TTestForm::nextCreateError = nullptr;
}

TEST_F(ApplicationTest, ALoopThatWouldWaitForNobodyFailsInsteadOfHanging) {
    app.CreateForm<TTestForm>();
    EXPECT_THROW(app.Run(), Exception);
}

TEST_F(ApplicationTest, ParametersAreAnsiTextWithTheProgramFirst) {
    app.SetParams({"prog", "My_Product"});
    EXPECT_EQ(app.ParamCount(), 1);
    EXPECT_EQ(app.ParamStr(1), "My_Product");
    EXPECT_EQ(app.ParamStr(2), "");
    EXPECT_EQ(app.ParamStr(-1), "");
    app.SetParams({});
    EXPECT_EQ(app.ParamCount(), 0);
}

