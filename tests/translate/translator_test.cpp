// The translator against the real feedback dialog and language files held in memory.
#include <gtest/gtest.h>

#include <map>

#include "app/UninstallMain.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/TypInfo.h"
#include "translate/Translator.h"
#include "xml/Parser.h"

using namespace toolkit;

namespace {

using State = std::map<std::string, std::string>;

// The dialog's texts as the translator may change them, the list joined with "|".
State Texts(const TUninstallMainForm& form, HRESULT status) {
    std::string reasons;
    for (const WideString& item : form.rgReason->GetItems()->Items()) reasons += platform::WideToAnsi(item) + "|";
    return {{"status", status == S_OK ? "S_OK" : status == E_UNEXPECTED ? "E_UNEXPECTED" : "other"},
            {"Name", form.GetName()}, {"Caption", form.GetCaption()}, {"header", form.lbQuestionCaption->GetText()},
            {"question", form.lbQuestion->GetText()}, {"button", platform::WideToAnsi(form.bnDelete->GetCaption())},
            {"edit", form.edOther->GetText()}, {"reasons", reasons},
            {"index", std::to_string(form.rgReason->GetItemIndex())}};
}

const char* const kForm = R"(<Section Name="Uninstall"><Form Name="UninstallMainForm")";
const std::string kReasonsTail = "Upgrade version|Other|";

// Each row: the file, the section asked for, and the texts that differ from the untranslated dialog.
const struct {
    std::string xml;
    const char16_t* section;
    State changed;
} kRows[] = {
    {kForm + std::string(R"( Caption="T"><Control Name="lbQuestionCaption" Caption="Frage:" />
        <Control Name="lbQuestion" Caption="a/n/n b" /><Control Name="edOther" Text="a\n b/n c" />
        <Control Name="bnDelete" Caption="a/nb a\Nb a/N b" /></Form></Section>)"),
     u"Uninstall", {{"Caption", "T"}, {"header", "Frage:"}, {"question", "a/n\r\nb"}, {"edit", "a\r\n b\r\nc"},
      {"button", "a/nb a\\Nb a/N b"}}},
    // Entries up to the shorter count; an empty child empties its entry; comments count; no escapes.
    {kForm + std::string(R"( Caption="a/n b"><Control Name="rgReason"><i>x/n y</i><Item /><!-- c --><i>d</i><i>e</i>
        </Control></Form></Section>)"), u"Uninstall", {{"Caption", "a/n b"}, {"reasons", "x/n y|| c |d|e|" + kReasonsTail}}},
    // Common translates components without a Control element, keeping the trailing marks; lists never.
    {kForm + std::string(R"x( /></Section><Common><Item Name="Question" value="Frage" />
        <Item Name="Opt&amp;ions" value="Optionen" /><Item value="(leer)" /><Item Name="Unstable" value="x" />
        <Item Name="Why have you made up your mind to remove My Product?" value="q" /></Common>
        <Common><Item Name="Question" value="second Common ignored" /></Common>)x"),
     u"Uninstall", {{"header", "Frage:"}, {"button", "Optionen..."}, {"edit", "(leer):"}, {"question", "q"}}},
    {R"(<Section Name="Uninstall" /><Common><Item Name="question" value="Frage" /></Common>)", u"Uninstall",
     {{"header", "Frage:"}}},
    {kForm + std::string(R"(><Control Name="lbQuestionCaption" Caption="" /></Form></Section>
        <Common><Item Name="Question" value="Frage" /></Common>)"), u"Uninstall", {}},
    {R"(<Section Name="Uninstall"><Common><Item Name="Question" value="Frage" /></Common></Section>)", u"Uninstall", {}},
    // Names match without regard to case and hotkeys; Name attributes never rename a component, but the
    // form takes its element's Name, the value that matched it.
    {R"(<SECTION NAME="UNINSTALL"><form name="uninstallmainform" CAPTION="T"><CONTROL name="LBQUESTION" caption="Q"
        Name="Other" /></form></SECTION>)", u"Uninstall", {{"Name", "uninstallmainform"}, {"Caption", "T"}, {"question", "Q"}}},
    {R"(<Section Name="Un&amp;install"><Form Name="UninstallMainForm" Caption="U" /></Section>)", u"&Uninstall",
     {{"Caption", "U"}}},
    {R"(<Section Name="Install"><Form Name="UninstallMainForm" Caption="X" /></Section>
        <Common><Item Name="Question" value="Frage" /></Common>)", u"Uninstall", {}},
    // A setter's error stops the walk: Caption (visited before Name) stays changed, the controls are not reached.
    {R"(<Section Name="Uninstall"><Form Name="&amp;UninstallMainForm" Caption="T"><Control Name="lbQuestion"
        Caption="not reached" /></Form></Section>)", u"Uninstall", {{"status", "E_UNEXPECTED"}, {"Caption", "T"}}},
};

TEST(Translator, AppliesTheSectionToTheDialog) {
    for (const auto& row : kRows) {
        TUninstallMainForm form(nullptr);
        form.ProductName = "My Product";
        form.SetEnglishTexts();
        form.bnDelete->SetCaption(u"&Options...");
        form.edOther->SetText(":");
        State expected = Texts(form, S_OK);
        for (const auto& [key, value] : row.changed) expected[key] = value;
        TxmlTree tree(LoadXmlString(row.xml));
        EXPECT_EQ(Texts(form, TTranslator().Translate(tree.Get(), row.section, &form)), expected) << row.xml;
    }
}

// A component with an 8-bit list, which no widget of the toolkit has.
class TTestMemo : public TComponent {
    UF_DECLARE_CLASS(TTestMemo)
public:
    using TComponent::TComponent;
    TStrings* GetLines() const { return const_cast<TStrings*>(&lines); }
    TStrings lines;
};

UF_CLASS_INFO(TTestMemo, TComponent) { r.Object("Lines", &TTestMemo::GetLines); }

TEST(Translator, EightBitListsComboBoxLinesAndMissingArguments) {
    TRadioGroup form(nullptr);  // as the form: its wide Caption sorts before its 8-bit Hint
    form.SetName("F");
    auto* memo = new TTestMemo(&form);
    memo->SetName("meNotes");
    memo->lines.Add("l0");  // one-entry lists: the smallest that is translated
    (new TTestMemo(&form))->SetName("meEmpty");  // an empty list is left alone
    auto* combo = new TComboBox(&form);
    combo->SetName("cbKind");
    combo->GetItems()->Add(u"first");
    combo->SetItemIndex(0);
    TxmlTree tree(LoadXmlString(R"(<Section Name="S"><Form Name="F" Caption="c" Hint="h">
        <Control Name="meEmpty"><l>E</l></Control><Control Name="meNotes"><l>L0</l><l>L1</l></Control>
        <Control Name="cbKind"><i>erstens</i><i>zweitens</i></Control></Form></Section>)"));
    EXPECT_EQ(S_OK, TTranslator().Translate(tree.Get(), u"S", &form));
    EXPECT_EQ("h", GetStrProp(form, "Hint"));  // only 8-bit long strings of the form are set
    EXPECT_EQ(u"", form.GetCaption());
    EXPECT_EQ((std::vector<AnsiString>{"L0"}), memo->lines.Items());
    EXPECT_EQ((std::vector<WideString>{u"erstens"}), combo->GetItems()->Items());
    EXPECT_EQ("erstens", combo->GetText());  // Lines made the edit part show the translated item
    EXPECT_EQ(S_OK, TTranslator().Translate(nullptr, u"S", &form));
    EXPECT_EQ(E_POINTER, TTranslator().Translate(tree.Get(), u"S", nullptr));
}

}  // namespace
