// The terminal face of a form: what it prints and how it reads the answers.
#include <gtest/gtest.h>

#include <sstream>

#include "toolkit/StdCtrls.h"
#include "toolkit/console/ConsoleBackend.h"

using namespace toolkit;

namespace {

struct TAskForm : TForm {
    explicit TAskForm(TComponent* owner) : TForm(owner) {
        SetCaption("Uninstall");
        question = new TLabel(this);
        question->SetParent(this);
        question->SetBounds(4, 36, 413, 13);
        question->SetText("Why?");
        auto* panel = new TGradientPanel(this);
        panel->SetParent(this);
        panel->SetBounds(4, 8, 412, 20);
        header = new TLabel(this);
        header->SetParent(panel);
        header->SetBounds(6, 3, 44, 13);
        header->SetText("Question:");
        group = new TRadioGroup(this);
        group->SetParent(this);
        group->SetBounds(16, 64, 389, 181);
        for (auto item : {u"One", u"Two", u"Three"}) group->GetItems()->Add(item);
        group->SetItemIndex(2);
        button = new TPushButton(this);
        button->SetParent(this);
        button->SetBounds(328, 252, 75, 25);
        button->SetCaption(u"Uninstall");
        button->OnClick = [this](TObject*) {
            ++clicks;
            Close();
        };
        edit = new TEdit(this);
        edit->SetParent(this);
        edit->SetBounds(94, 214, 301, 21);
        OnClose = [this](TObject*, TCloseAction&) { ++closes; };
    }
    TLabel *question, *header;
    TRadioGroup* group;
    TPushButton* button;
    TEdit* edit;
    int clicks = 0, closes = 0;
};

struct Run {
    std::string output;
    TAskForm* form;
};

// Runs a fresh application with the given input; the form stays alive until the next call.
struct ConsoleTest : ::testing::Test {
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TConsoleBackend> backend;
    std::istringstream in;
    std::ostringstream out;

    TAskForm* RunWith(const std::string& input) {
        in.clear();
        in.str(input);
        app.reset();
        backend = std::make_unique<TConsoleBackend>(in, out);
        app = std::make_unique<TApplication>();
        app->SetBackend(backend.get());
        auto* form = app->CreateForm<TAskForm>();
        app->Run();
        return form;
    }
};

}  // namespace

TEST_F(ConsoleTest, PrintsTitleHeaderQuestionAndMarkedItemsInReadingOrder) {
    RunWith("\n\n");
    EXPECT_EQ(out.str(),
              "== Uninstall ==\n"
              "Question:\n"
              "Why?\n"
              "   1. One\n"
              "   2. Two\n"
              " * 3. Three\n"
              "[ Uninstall ]\n"
              "Reason (1-3, Enter keeps 3): Text: ");
}

TEST_F(ConsoleTest, AnswersSetTheChoiceAndTheTextThenPressTheButton) {
    struct Case {
        const char* input;
        int index;
        const char* text;
        int clicks;
    };
    const Case cases[] = {
        {"1\nno time\n", 0, "no time", 1},
        {"\r\n\n", 2, "", 1},                   // an empty line keeps the selection
        {"4\nx\n 2 \r\ntext\r\n", 1, "text", 1},  // wrong answers are asked again
        {"2", 1, "", 1},                         // the text may be missing after the first answer
        {"", 2, "", 0},                          // no answer at all: closed as by the close box
    };
    for (const Case& c : cases) {
        TAskForm* form = RunWith(c.input);
        EXPECT_EQ(form->group->GetItemIndex(), c.index) << c.input;
        EXPECT_EQ(form->edit->GetText(), c.text) << c.input;
        EXPECT_EQ(form->clicks, c.clicks) << c.input;
        EXPECT_EQ(form->closes, 1) << c.input;
        EXPECT_TRUE(app->Terminated()) << c.input;
    }
    EXPECT_NE(out.str().find("Please enter a number from 1 to 3.\nReason (1-3, Enter keeps 3): "), std::string::npos);
}

TEST_F(ConsoleTest, TerminalTextIsUtf8AndInputComesBackAsAnsi) {
    if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "needs code page 1252";
    in.str("");
    TAskForm* form = RunWith("\ncaf\xC3\xA9\n");
    EXPECT_EQ(form->edit->GetText(), "caf\xE9");
    form = nullptr;
    out.str("");
    backend = std::make_unique<TConsoleBackend>(in, out);
    app = std::make_unique<TApplication>();
    app->SetBackend(backend.get());
    auto* f = app->CreateForm<TAskForm>();
    f->question->SetText("Entfernen Sie \xDC" "bung?");
    f->question->SetTextW(f->question->GetTextW() + u"\r\nline two");
    in.clear();
    in.str("");
    app->Run();
    EXPECT_NE(out.str().find("Entfernen Sie \xC3\x9C" "bung?\nline two\n"), std::string::npos);
}

TEST_F(ConsoleTest, LongLinesAreCutAtACharacterAndTheRestIsDropped) {
    const std::string y(kMaxLineBytes - 1, 'y');
    struct Case {
        std::string input;
        int index;
        std::string text;
    };
    const Case cases[] = {
        {"1\n" + std::string(kMaxLineBytes + 1000, 'x') + "\n", 0, std::string(kMaxLineBytes, 'x')},
        {"1\n" + y + "\xE2\x82\xAC tail\nmore\n", 0, y},  // the euro sign would be cut in two
        {std::string(3 * kMaxLineBytes, '2') + "\n1\ntext\n", 0, "text"},  // asked again, not taken as 2
    };
    for (const Case& c : cases) {
        TAskForm* form = RunWith(c.input);
        EXPECT_EQ(form->group->GetItemIndex(), c.index);
        EXPECT_EQ(form->edit->GetText(), c.text);
        EXPECT_EQ(form->clicks, 1);
    }
}
