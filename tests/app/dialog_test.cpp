// The feedback dialog without a window: start state, product name, the no-argument start and both close
// paths, each running the close handler's report exactly once.
#include <gtest/gtest.h>

#include "app/UninstallMain.h"
#include "tests/toolkit/ScriptedBackend.h"

using namespace toolkit;

namespace {

const std::vector<WideString> kEnglish = {u"Unstable", u"Lacks some functions", u"Resource hungry",
                                          u"Unfriendly interface", u"Too expensive", u"Upgrade version", u"Other"};

struct DialogTest : ::testing::Test {
    TScriptedBackend backend;
    std::unique_ptr<TApplication> app;
    TUninstallMainForm* form = nullptr;
    std::vector<AnsiString> reported;  // the product name of each report

    // Program entry as main() does it, with these arguments after the program's own.
    void Start(std::vector<const char*> args) {
        args.insert(args.begin(), "UninstallFeedback.exe");
        app = std::make_unique<TApplication>();
        app->SetBackend(&backend);
        app->SetArguments(static_cast<int>(args.size()), args.data());
        app->Initialize();
        form = app->CreateForm<TUninstallMainForm>();
        form->Report = [this](const TUninstallMainForm& f) { reported.push_back(f.ProductName); };
    }
};

}  // namespace

TEST_F(DialogTest, StartsInEnglishWithUnderscoresReadAsSpacesAndOtherSelected) {
    const std::pair<const char*, AnsiString> cases[] = {
        {"My_Product_2", "My Product 2"}, {"__Velmora_", "  Velmora "}, {"Velmora 3 Pro", "Velmora 3 Pro"}};
    for (const auto& [argument, name] : cases) {
        Start({argument, "ignored"});
        EXPECT_EQ(form->lbQuestion->GetText(), "Why have you made up your mind to remove " + name + "?");
        EXPECT_FALSE(app->Terminated());
    }
    EXPECT_EQ(form->rgReason->GetItems()->Items(), kEnglish);
    EXPECT_EQ(form->rgReason->GetItemIndex(), TUninstallMainForm::OtherReasonIndex);
    EXPECT_EQ(form->edOther->GetText(), "");
    EXPECT_EQ(form->lbQuestionCaption->GetText(), "Question:");
    EXPECT_EQ(form->bnDelete->GetCaption(), u"Uninstall");
    EXPECT_EQ(form->GetCaption(), "Uninstall");
    EXPECT_EQ(form->ActiveControl, form->edOther);
    EXPECT_EQ(form->lbQuestionCaption->GetParent(), form->pnHeader);
}

TEST_F(DialogTest, NoArgumentEndsWithoutShowingOrReporting) {
    Start({});
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(form->lbQuestion->GetText(), "Why have you made up your mind to remove ?");
    app->Run();
    EXPECT_TRUE(backend.Shown.empty());
    EXPECT_TRUE(reported.empty());
}

// The dialog's guard: the button and the close box take one path, and a second close sends nothing.
TEST_F(DialogTest, TheButtonAndTheCloseBoxCloseTheDialogAndReportOnce) {
    for (bool button : {true, false}) {
        reported.clear();
        Start({"Velmora"});
        backend.Step = [&](TApplication&) {
            if (button) form->bnDelete->Click(); else form->Close();
            form->bnDelete->Click();
            return true;
        };
        app->Run();
        EXPECT_EQ(reported, (std::vector<AnsiString>{"Velmora"}));
        EXPECT_TRUE(app->Terminated());
        EXPECT_TRUE(backend.Shown.empty());
    }
}
