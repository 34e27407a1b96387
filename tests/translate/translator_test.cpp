// The translator against the real feedback dialog and language files held in memory.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/UninstallMain.h"
#include "toolkit/StdCtrls.h"
#include "translate/Translator.h"
#include "xml/Parser.h"

using namespace toolkit;

namespace {

// A component with an 8-bit list and a caption whose setter can be made to fail.
class TTestMemo : public TComponent {
    UF_DECLARE_CLASS(TTestMemo)
public:
    using TComponent::TComponent;
    TStrings* GetLines() const { return lines_.get(); }
    AnsiString GetCaption() const { return caption_; }
    void SetCaption(const AnsiString& caption) {
        if (failWith == 1) throw Exception("caption refused");
        if (failWith == 2) throw std::runtime_error("outside the exception classes");
        caption_ = caption;
    }
    int failWith = 0;

private:
    std::unique_ptr<TStrings> lines_ = std::make_unique<TStrings>();
    AnsiString caption_ = "Memo";
};

UF_CLASS_INFO(TTestMemo, TComponent) {
    r.LString("Caption", &TTestMemo::GetCaption, &TTestMemo::SetCaption);
    r.Object("Lines", &TTestMemo::GetLines);
}

class TranslatorTest : public ::testing::Test {
protected:
    TranslatorTest() : form(nullptr) {
        form.ProductName = "My Product";
        form.SetEnglishTexts();
    }
    ~TranslatorTest() override {
        if (tree) DestroyNode(tree);
    }

    HRESULT Apply(std::string_view xml, const WideString& section = u"Uninstall") {
        if (tree) DestroyNode(tree);
        tree = LoadXmlString(xml);
        return TTranslator().Translate(tree, section, &form);
    }

    std::vector<WideString> Reasons() const { return form.rgReason->GetItems()->Items(); }

    TUninstallMainForm form;
    TxmlNode* tree = nullptr;
};

const std::vector<WideString> kEnglish = {u"Unstable",      u"Lacks some functions", u"Resource hungry",
                                          u"Unfriendly interface", u"Too expensive", u"Upgrade version",
                                          u"Other"};

TEST_F(TranslatorTest, FormAndControlsFromTheirElements) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm" Caption="Entfernen">
        <Control Name="lbQuestionCaption" Caption="Frage:" />
        <Control Name="lbQuestion" Caption="Warum?" />
        <Control Name="bnDelete" Caption="Los" />
        <Control Name="edOther" Text="frei" />
        </Form></Section>)"));
    EXPECT_EQ("Entfernen", form.GetCaption());
    EXPECT_EQ("Frage:", form.lbQuestionCaption->GetText());
    EXPECT_EQ("Warum?", form.lbQuestion->GetText());
    EXPECT_EQ(u"Los", form.bnDelete->GetCaption());
    EXPECT_EQ("frei", form.edOther->GetText());
    EXPECT_EQ(kEnglish, Reasons());
}

TEST_F(TranslatorTest, ListEntriesReplacedUpToTheShorterCount) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm">
        <Control Name="rgReason"><i>a</i><i>b</i><i>c</i><i>d</i><i>e</i></Control></Form></Section>)"));
    std::vector<WideString> expected = {u"a", u"b", u"c", u"d", u"e", u"Upgrade version", u"Other"};
    EXPECT_EQ(expected, Reasons());
    EXPECT_EQ(6, form.rgReason->GetItemIndex());

    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm"><Control Name="rgReason">
        <a>1</a><b>2</b><c>3</c><d>4</d><e>5</e><f>6</f><g>7</g><h>8</h><i>9</i></Control></Form></Section>)"));
    expected = {u"1", u"2", u"3", u"4", u"5", u"6", u"7"};
    EXPECT_EQ(expected, Reasons());
    EXPECT_EQ(6, form.rgReason->GetItemIndex());
}

TEST_F(TranslatorTest, EmptyChildEmptiesItsEntryAndCommentsCount) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm"><Control Name="rgReason">
        <Item>one</Item><Item /><!-- two --><Item></Item></Control></Form></Section>)"));
    std::vector<WideString> expected = {u"one", u"", u" two ", u"", u"Too expensive", u"Upgrade version", u"Other"};
    EXPECT_EQ(expected, Reasons());
}

TEST_F(TranslatorTest, LineBreakEscapesInControlAttributesOnly) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm" Caption="a/n b">
        <Control Name="lbQuestion" Caption="one/n two" />
        <Control Name="lbQuestionCaption" Caption="one\ntwo" />
        <Control Name="bnDelete" Caption="one/ntwo one\Ntwo one/N two" />
        <Control Name="rgReason"><i>x/n y</i></Control></Form></Section>)"));
    EXPECT_EQ("one\r\ntwo", form.lbQuestion->GetText());
    EXPECT_EQ("one\r\ntwo", form.lbQuestionCaption->GetText());
    EXPECT_EQ(u"one/ntwo one\\Ntwo one/N two", form.bnDelete->GetCaption());
    EXPECT_EQ("a/n b", form.GetCaption());
    EXPECT_EQ(u"x/n y", Reasons()[0]);

    EXPECT_EQ("\r\n\r\n", TTranslator::ExpandLineBreaks("/n \\n"));
    EXPECT_EQ("/n\r\nx", TTranslator::ExpandLineBreaks("/n/n x"));   // no overlap, left to right
    EXPECT_EQ("a\r\n b", TTranslator::ExpandLineBreaks("a\\n b"));  // the blank after a backslash escape stays
}

TEST_F(TranslatorTest, CommonTranslatesUnnamedComponentsKeepingTrailingMarks) {
    form.bnDelete->SetCaption(u"&Options...");
    form.edOther->SetText(":");
    ASSERT_EQ(S_OK, Apply(R"xml(<Section Name="Uninstall"><Form Name="UninstallMainForm" /></Section>
        <Common><Item Name="Question" value="Frage" /><Item Name="Opt&amp;ions" value="Optionen" />
        <Item value="(leer)" /><Item Name="Why have you made up your mind to remove My Product?" value="x" /></Common>
        <Common><Item Name="Question" value="second Common ignored" /></Common>)xml"));
    EXPECT_EQ("Frage:", form.lbQuestionCaption->GetText());
    EXPECT_EQ(u"Optionen...", form.bnDelete->GetCaption());
    // A text of marks only has an empty base, which finds the item without a Name.
    EXPECT_EQ("(leer):", form.edOther->GetText());
    // "?" is no trailing mark: the whole question is the base.
    EXPECT_EQ("x", form.lbQuestion->GetText());
    EXPECT_EQ(kEnglish, Reasons());  // lists never go through Common
}

TEST_F(TranslatorTest, ControlElementShutsOutCommon) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm">
        <Control Name="lbQuestionCaption" Caption="" /></Form></Section>
        <Common><Item Name="Question" value="Frage" /></Common>)"));
    EXPECT_EQ("Question:", form.lbQuestionCaption->GetText());
}

TEST_F(TranslatorTest, CommonWithoutFormElement) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall" /><Common><Item Name="question" value="Frage" /></Common>)"));
    EXPECT_EQ("Frage:", form.lbQuestionCaption->GetText());
    EXPECT_EQ("Uninstall", form.GetCaption());
}

TEST_F(TranslatorTest, NamesMatchWithoutCaseAndHotkeys) {
    ASSERT_EQ(S_OK, Apply(R"(<SECTION NAME="UNINSTALL"><form name="uninstallmainform" CAPTION="T">
        <CONTROL name="LBQUESTION" caption="Q" /></form></SECTION>)", u"Uninstall"));
    EXPECT_EQ("T", form.GetCaption());
    EXPECT_EQ("Q", form.lbQuestion->GetText());
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Un&amp;install"><Form Name="UninstallMainForm" Caption="U" /></Section>)",
                          u"&Uninstall"));
    EXPECT_EQ("U", form.GetCaption());
}

TEST_F(TranslatorTest, NestedCommonIsNotFound) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Common><Item Name="Question" value="Frage" /></Common>
        </Section>)"));
    EXPECT_EQ("Question:", form.lbQuestionCaption->GetText());
}

TEST_F(TranslatorTest, NameAttributesNeverRenameComponents) {
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm">
        <Control Name="LBQUESTION" Caption="Q" /><Control Name="bnDelete" name="Other" Caption="B" /></Form></Section>)"));
    EXPECT_EQ("lbQuestion", form.lbQuestion->GetName());
    EXPECT_EQ("bnDelete", form.bnDelete->GetName());
    EXPECT_EQ("UninstallMainForm", form.GetName());
    // The form itself takes its element's Name, which matched it.
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UNINSTALLMAINFORM" /></Section>)"));
    EXPECT_EQ("UNINSTALLMAINFORM", form.GetName());
}

TEST_F(TranslatorTest, NothingToApply) {
    EXPECT_EQ(S_OK, TTranslator().Translate(nullptr, u"Uninstall", &form));
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Install"><Form Name="UninstallMainForm" Caption="X" /></Section>
        <Common><Item Name="Question" value="Frage" /></Common>)"));
    EXPECT_EQ("Uninstall", form.GetCaption());
    EXPECT_EQ("Question:", form.lbQuestionCaption->GetText());
    ASSERT_EQ(S_OK, Apply("this is <not xml"));
    EXPECT_EQ(kEnglish, Reasons());
}

TEST_F(TranslatorTest, EightBitListsAndComboBoxLines) {
    auto* memo = new TTestMemo(&form);
    memo->SetName("meNotes");
    memo->GetLines()->Add("l0");
    memo->GetLines()->Add("l1");
    memo->GetLines()->Add("l2");
    auto* combo = new TComboBox(&form);
    combo->SetName("cbKind");
    combo->GetItems()->Add(u"first");
    combo->GetItems()->Add(u"second");
    combo->SetItemIndex(1);
    ASSERT_EQ(S_OK, Apply(R"(<Section Name="Uninstall"><Form Name="UninstallMainForm">
        <Control Name="meNotes"><l>L0</l><l>L1</l></Control>
        <Control Name="cbKind"><i>erstens</i><i>zweitens</i></Control></Form></Section>)"));
    EXPECT_EQ((std::vector<AnsiString>{"L0", "L1", "l2"}), memo->GetLines()->Items());
    EXPECT_EQ((std::vector<WideString>{u"erstens", u"zweitens"}), combo->GetItems()->Items());
    EXPECT_EQ(1, combo->GetItemIndex());
    EXPECT_EQ("zweitens", combo->GetText());
}

TEST_F(TranslatorTest, SetterErrorStopsTheWalkAndKeepsEarlierChanges) {
    auto* memo = new TTestMemo(&form);  // owned last: walked after every control of the dialog
    memo->SetName("meNotes");
    const char* xml = R"(<Section Name="Uninstall"><Form Name="UninstallMainForm" Caption="T">
        <Control Name="lbQuestion" Caption="Q" /><Control Name="meNotes" Caption="M" /></Form></Section>)";
    for (int failWith : {1, 2}) {
        memo->failWith = failWith;
        form.lbQuestion->SetText("before");
        EXPECT_EQ(E_UNEXPECTED, Apply(xml));
        EXPECT_EQ("Q", form.lbQuestion->GetText());
        EXPECT_EQ("T", form.GetCaption());
        EXPECT_EQ("Memo", memo->GetCaption());
    }
    // The dialog's own setter refuses a name that is no identifier: Caption (visited first) stays changed.
    form.SetCaption("Uninstall");
    EXPECT_EQ(E_UNEXPECTED, Apply(R"(<Section Name="Uninstall"><Form Name="&amp;UninstallMainForm" Caption="T">
        <Control Name="lbQuestion" Caption="not reached" /></Form></Section>)"));
    EXPECT_EQ("T", form.GetCaption());
    EXPECT_EQ("Q", form.lbQuestion->GetText());
}

TEST(TrailingMarks, LongestRunOfPointsAndColons) {
    EXPECT_EQ(":", TTranslator::TrailingMarks("Question:"));
    EXPECT_EQ("...", TTranslator::TrailingMarks("&Options..."));
    EXPECT_EQ(".:.", TTranslator::TrailingMarks(".:."));
    EXPECT_EQ("", TTranslator::TrailingMarks("Why?"));
    EXPECT_EQ("", TTranslator::TrailingMarks(""));
}

}  // namespace
