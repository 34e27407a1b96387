// The feedback dialog without a window: start state, product name, the no-argument start and both close
// paths, each running the close handler's report exactly once.
#include <gtest/gtest.h>

#include "app/UninstallMain.h"
#include "toolkit/Backend.h"

using namespace toolkit;

namespace {

struct DialogTest : ::testing::Test {
    TScriptedBackend backend;
    std::unique_ptr<TApplication> app;
    TUninstallMainForm* form = nullptr;
    int reports = 0;
    std::vector<AnsiString> reportedNames;

    // Program entry as main() does it, with these arguments.
    void Start(std::vector<AnsiString> params) {
        app = std::make_unique<TApplication>();
        app->SetBackend(&backend);
        app->SetParams(std::move(params));
        app->Initialize();
        form = app->CreateForm<TUninstallMainForm>();
        form->Report = [this](const TUninstallMainForm& f) {
            ++reports;
            reportedNames.push_back(f.ProductName);
        };
    }
};

std::vector<WideString> Items(const TUninstallMainForm& form) { return form.rgReason->GetItems()->Items(); }

}  // namespace

TEST_F(DialogTest, UnderscoresStandForSpacesAndNothingIsTrimmed) {
    const std::pair<AnsiString, AnsiString> cases[] = {
        {"My_Product_2", "My Product 2"}, {"__Velmora_", "  Velmora "}, {"Velmora 3 Pro", "Velmora 3 Pro"}};
    for (const auto& [argument, name] : cases) {
        Start({"UninstallFeedback.exe", argument, "ignored"});
        EXPECT_EQ(form->ProductName, name);
        EXPECT_EQ(form->lbQuestion->GetText(), "Why have you made up your mind to remove " + name + "?");
        EXPECT_FALSE(app->Terminated());
    }
}

TEST_F(DialogTest, StartStateIsEnglishWithOtherSelectedAndAnEmptyEditWithFocus) {
    Start({"UninstallFeedback.exe", "Velmora"});
    EXPECT_EQ(Items(*form), (std::vector<WideString>{u"Unstable", u"Lacks some functions", u"Resource hungry",
                                                     u"Unfriendly interface", u"Too expensive", u"Upgrade version",
                                                     u"Other"}));
    EXPECT_EQ(form->rgReason->GetItemIndex(), 6);
    EXPECT_EQ(form->edOther->GetText(), "");
    EXPECT_EQ(form->lbQuestionCaption->GetText(), "Question:");
    EXPECT_EQ(form->bnDelete->GetCaption(), u"Uninstall");
    EXPECT_EQ(form->GetCaption(), "Uninstall");
    EXPECT_EQ(form->ActiveControl, form->edOther);
    EXPECT_EQ(form->GetName(), "UninstallMainForm");
}

TEST_F(DialogTest, ComponentsInCreationOrderWithTheHeaderWordInsideThePanel) {
    Start({"UninstallFeedback.exe", "Velmora"});
    std::vector<std::string> names;
    for (int i = 0; i < form->GetComponentCount(); ++i) names.push_back(form->GetComponent(i)->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"lbQuestion", "pnHeader", "lbQuestionCaption", "rgReason", "bnDelete",
                                               "edOther"}));
    EXPECT_EQ(form->lbQuestionCaption->GetParent(), form->pnHeader);
    EXPECT_EQ(form->lbQuestionCaption->GetOwner(), form);
}

TEST_F(DialogTest, EnglishTextsRebuildTheListAndSelectOther) {
    Start({"UninstallFeedback.exe", "Velmora"});
    form->rgReason->GetItems()->Put(0, u"changed");
    form->rgReason->GetItems()->Add(u"extra");
    form->rgReason->SetItemIndex(1);
    form->lbQuestionCaption->SetText("Frage:");
    form->SetEnglishTexts();
    EXPECT_EQ(Items(*form).size(), 7u);
    EXPECT_EQ(Items(*form)[0], u"Unstable");
    EXPECT_EQ(form->rgReason->GetItemIndex(), 6);
    EXPECT_EQ(form->lbQuestionCaption->GetText(), "Question:");
}

TEST_F(DialogTest, NoArgumentEndsWithoutShowingOrReporting) {
    Start({"UninstallFeedback.exe"});
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(form->ProductName, "");
    EXPECT_EQ(form->lbQuestion->GetText(), "Why have you made up your mind to remove ?");
    app->Run();  // returns at once: no step of the loop runs
    EXPECT_TRUE(backend.Shown.empty());
    EXPECT_EQ(reports, 0);
}

TEST_F(DialogTest, TheButtonClosesTheDialogAndReportsOnce) {
    Start({"UninstallFeedback.exe", "Velmora"});
    backend.Step = [&](TApplication&) {
        form->rgReason->SetItemIndex(2);
        form->bnDelete->Click();
        form->bnDelete->Click();  // the window is already gone; nothing more is sent
        return true;
    };
    app->Run();
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(reportedNames, (std::vector<AnsiString>{"Velmora"}));
    EXPECT_TRUE(app->Terminated());
    EXPECT_TRUE(backend.Shown.empty());
}

TEST_F(DialogTest, TheCloseBoxTakesTheSamePathWithTheWaitCursor) {
    Start({"UninstallFeedback.exe", "Velmora"});
    int busy = -1;
    form->Report = [&](const TUninstallMainForm&) { ++reports, busy = backend.BusyDepth; };
    backend.Step = [&](TApplication&) {
        form->Close();  // what the window's close box, the system menu and Alt+F4 do
        return true;
    };
    app->Run();
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(busy, 1);
    EXPECT_EQ(backend.BusyDepth, 0);
}
