// The application and its forms: creation, Run, Terminate, Close and its guard, parameters.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "tests/toolkit/ScriptedBackend.h"
#include "toolkit/StdCtrls.h"

using namespace toolkit;

namespace {

struct TTestForm : TForm {
    explicit TTestForm(TComponent* owner) : TForm(owner) {
        (new TPushButton(this))->OnClick = [this](TObject*) { Close(); };
        OnCreate = [this](TObject*) {
            componentsAtCreate = GetComponentCount();
            if (createError) createError();
        };
        OnClose = [this](TObject*, TCloseAction& action) {
            ++closes;
            actionSeen = action;
            busySeen = static_cast<TScriptedBackend&>(Application->Backend()).BusyDepth;
            if (closeAction) action = *closeAction;
            if (duringClose) duringClose();
        };
    }
    int componentsAtCreate = -1, closes = 0, busySeen = -1;
    TCloseAction actionSeen = TCloseAction::caNone;
    std::optional<TCloseAction> closeAction;
    std::function<void()> duringClose;
    inline static std::function<void()> createError;
};

struct ApplicationTest : ::testing::Test {
    TScriptedBackend backend;
    TApplication app;
    ApplicationTest() { app.SetBackend(&backend); }
};

}  // namespace

TEST_F(ApplicationTest, TheFirstFormIsTheMainOneAndTerminateBeforeRunShowsNothing) {
    auto* form = app.CreateForm<TTestForm>();
    EXPECT_EQ(Application, &app);
    EXPECT_EQ(form->componentsAtCreate, 1);  // the creation handler runs once the components exist
    app.CreateForm<TTestForm>();
    EXPECT_EQ(app.MainForm(), form);
    app.Terminate();
    app.Run();  // the scripted loop would throw if it ran
    EXPECT_TRUE(backend.Shown.empty());
}

// The guard of the model: a close while the handler runs, and one after the form closed, do nothing.
TEST_F(ApplicationTest, ClosingTheMainFormRunsTheHandlerOnceWithTheWaitCursorAndEnds) {
    auto* form = app.CreateForm<TTestForm>();
    form->duringClose = [&] { form->Close(); };
    backend.Step = [&](TApplication&) {
        EXPECT_EQ(backend.Shown, (std::vector<const TCustomForm*>{form}));
        static_cast<TPushButton*>(form->GetComponent(0))->Click();
        form->Close();
        return true;
    };
    app.Run();
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(form->closes, 1);
    EXPECT_EQ(form->actionSeen, TCloseAction::caHide);
    EXPECT_EQ(form->busySeen, 1);
    EXPECT_EQ(backend.BusyDepth, 0);
    EXPECT_TRUE(form->Closed());
    EXPECT_TRUE(backend.Shown.empty());
}

TEST_F(ApplicationTest, ARefusedOrFailedCloseKeepsTheFormAndAnotherFormDoesNotEndTheApplication) {
    auto* form = app.CreateForm<TTestForm>();
    form->Show();
    form->closeAction = TCloseAction::caNone;
    form->Close();
    form->closeAction.reset();
    form->duringClose = [] { throw Exception("network down"); };
    EXPECT_THROW(form->Close(), Exception);
    EXPECT_EQ(backend.BusyDepth, 0);
    EXPECT_TRUE(form->Showing());
    EXPECT_FALSE(app.Terminated());
    auto* other = app.CreateForm<TTestForm>();
    other->Show();
    other->Close();
    EXPECT_FALSE(other->Showing());
    EXPECT_FALSE(app.Terminated());
    form->duringClose = nullptr;
    form->Close();
    EXPECT_EQ(form->closes, 3);
    EXPECT_TRUE(app.Terminated());
}

TEST_F(ApplicationTest, AnErrorEscapingCreationIsShownAndTheFormIsShownAfterwards) {
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { throw Exception("Cannot open file"); }, "Cannot open file"},
        {[] { throw std::runtime_error("outside"); }, "outside"},
        {[] { throw 42; }, "An error occurred outside the general exception class"},
    };
    app.Title = "Uninstall";
    for (const auto& [raise, text] : cases) {
        TTestForm::createError = raise;
        backend.Messages.clear();
        auto* form = app.CreateForm<TTestForm>();
        ASSERT_EQ(backend.Messages.size(), 1u);
        EXPECT_EQ(backend.Messages[0].text, text);
        EXPECT_EQ(backend.Messages[0].caption, "Uninstall");
        EXPECT_EQ(form->componentsAtCreate, 1);
    }
    TTestForm::createError = nullptr;
    backend.Step = [&](TApplication&) { return app.MainForm()->Close(), true; };
    app.Run();
    EXPECT_TRUE(app.Terminated());
}

TEST_F(ApplicationTest, ParametersAreAnsiTextWithTheProgramFirst) {
    const char* argv[] = {"prog", "My_Product", nullptr};  // as main() gets them
    app.SetArguments(2, argv);
    EXPECT_EQ(app.ParamCount(), 1);
    EXPECT_EQ(app.ParamStr(0), "prog");
    EXPECT_EQ(app.ParamStr(1), "My_Product");
    EXPECT_EQ(app.ParamStr(2), "");
    EXPECT_EQ(app.ParamStr(-1), "");
    app.SetArguments(0, argv);
    EXPECT_EQ(app.ParamCount(), 0);
}
