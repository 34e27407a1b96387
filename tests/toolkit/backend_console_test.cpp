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
        question = Place(new TLabel(this), this, 4, 36);
        question->SetText("Why?");
        auto* panel = Place(new TGradientPanel(this), this, 4, 8);
        Place(new TLabel(this), panel, 6, 3)->SetText("Question:");
        group = Place(new TRadioGroup(this), this, 16, 64);
        for (auto item : {u"One", u"Two", u"Three"}) group->GetItems()->Add(item);
        group->SetItemIndex(2);
        auto* button = Place(new TPushButton(this), this, 328, 252);
        button->SetCaption(u"Uninstall");
        button->OnClick = [this](TObject*) { ++clicks, Close(); };
        edit = Place(new TEdit(this), this, 94, 214);
        OnClose = [this](TObject*, TCloseAction&) { ++closes; };
    }
    template <class C>
    static C* Place(C* control, TWinControl* parent, int left, int top) {
        control->SetParent(parent);
        control->SetBounds(left, top, 40, 13);
        return control;
    }
    TLabel* question;
    TRadioGroup* group;
    TEdit* edit;
    int clicks = 0, closes = 0;
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
    const std::string y(kMaxLineBytes - 1, 'y');
    const struct {
        std::string input;
        int index;
        std::string text;
        int clicks;
    } cases[] = {
        {"1\nno time\n", 0, "no time", 1},
        {"\r\n\n", 2, "", 1},                     // an empty line keeps the selection
        {"4\nx\n0\n00002\n 0002 \r\ntext\r\n", 1, "text", 1},  // wrong answers are asked again
        {"2", 1, "", 1},                           // the text may be missing after the first answer
        {"", 2, "", 0},                            // no answer at all: closed as by the close box
        // Long lines keep kMaxLineBytes, whole characters only; the rest is dropped, not read as an answer.
        {"1\n" + std::string(kMaxLineBytes + 1000, 'x') + "\n", 0, std::string(kMaxLineBytes, 'x'), 1},
        {"1\n" + y + "\xE2\x82\xAC tail\nmore\n", 0, y, 1},  // the euro sign cut after one byte
        {"1\n" + y.substr(1) + "\xE2\x82\xAC tail\nmore\n", 0, y.substr(1), 1},  // and after two
        {std::string(3 * kMaxLineBytes, '2') + "\n1\ntext\n", 0, "text", 1},
    };
    for (const auto& c : cases) {
        TAskForm* form = RunWith(c.input);
        EXPECT_EQ(form->group->GetItemIndex(), c.index) << c.input.substr(0, 20);
        EXPECT_EQ(form->edit->GetText(), c.text) << c.input.substr(0, 20);
        EXPECT_EQ(form->clicks, c.clicks) << c.input.substr(0, 20);
        EXPECT_EQ(form->closes, 1);
        EXPECT_TRUE(app->Terminated());
    }
    EXPECT_NE(out.str().find("Please enter a number from 1 to 3.\nReason (1-3, Enter keeps 3): "), std::string::npos);
}

TEST_F(ConsoleTest, TheConsoleIsTheNativeBackEnd) {
    TApplication native;
    EXPECT_NE(dynamic_cast<TConsoleBackend*>(&native.Backend()), nullptr);
}

TEST_F(ConsoleTest, TerminalTextIsUtf8AndInputComesBackAsAnsi) {
    if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "needs code page 1252";
    TAskForm* form = RunWith("\ncaf\xC3\xA9\n");
    EXPECT_EQ(form->edit->GetText(), "caf\xE9");
    form->question->SetText("\xDC" "bung?\r\nline two\rthree");
    out.str("");
    in.clear();
    in.str("");
    app->Initialize();
    app->Run();
    EXPECT_NE(out.str().find("\xC3\x9C" "bung?\nline two\nthree\n"), std::string::npos) << out.str();
}
