// String lists and component ownership: order, nesting, names, destruction.
#include <gtest/gtest.h>

#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

using namespace toolkit;

TEST(Lists, StringsReplaceAddClearAndGuardIndexes) {
    TStrings list;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(list.Add("b"), 1);
    list.Insert(1, "between");
    list.Put(0, "A");
    EXPECT_EQ(list.Lines(), (std::vector<AnsiString>{"A", "between", "b"}));
    EXPECT_EQ(list.IndexOf("b"), 2);
    EXPECT_EQ(list.IndexOf("B"), -1);
    list.Delete(1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.Get(2), EListError);
    EXPECT_THROW(list.Get(-1), EListError);
    EXPECT_THROW(list.Put(2, "x"), EListError);
    EXPECT_THROW(list.Insert(3, "x"), EListError);
    list.Insert(2, "end");  // inserting at Count appends
    EXPECT_EQ(list.Get(2), "end");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(changes, 7);
    list.Clear();  // nothing to clear: no change
    EXPECT_EQ(changes, 7);
}

TEST(Lists, WideStringsKeepUtf16Items) {
    TWideStrings list;
    list.Add(u"\u041F\u0440\u0438\u0432\u0435\u0442");
    list.Add(u"\U0001F600");
    EXPECT_EQ(list.Get(0), u"\u041F\u0440\u0438\u0432\u0435\u0442");
    list.Put(1, u"x");
    EXPECT_EQ(list.Items(), (std::vector<WideString>{u"\u041F\u0440\u0438\u0432\u0435\u0442", u"x"}));
    EXPECT_THROW(list.Put(2, u"y"), EListError);
    try {
        list.Get(7);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (7)");
    }
}

namespace {

// Counts destructions, to see who frees whom.
struct TCounted : TLabel {
    TCounted(TComponent* owner, int& gone) : TLabel(owner), gone_(gone) {}
    ~TCounted() override { ++gone_; }
    int& gone_;
};

}  // namespace

TEST(Components, OwnedInCreationOrderWithNestedOnes) {
    TForm form(nullptr);
    auto* question = new TLabel(&form);
    question->SetName("lbQuestion");
    question->SetParent(&form);
    auto* panel = new TGradientPanel(&form);
    panel->SetName("pnHeader");
    panel->SetParent(&form);
    auto* caption = new TLabel(&form);  // lives inside the panel, belongs to the form
    caption->SetName("lbQuestionCaption");
    caption->SetParent(panel);
    auto* edit = new TEdit(&form);
    edit->SetName("edOther");
    edit->SetParent(&form);

    ASSERT_EQ(form.GetComponentCount(), 4);
    EXPECT_EQ(form.GetComponent(0), question);
    EXPECT_EQ(form.GetComponent(1), panel);
    EXPECT_EQ(form.GetComponent(2), caption);
    EXPECT_EQ(form.GetComponent(3), edit);
    EXPECT_THROW(form.GetComponent(4), EListError);
    EXPECT_EQ(panel->GetComponentCount(), 0);
    EXPECT_EQ(caption->GetOwner(), &form);
    EXPECT_EQ(caption->GetParent(), panel);
    EXPECT_EQ(panel->Controls(), (std::vector<TControl*>{caption}));
    EXPECT_EQ(form.FindComponent("LBQUESTIONCAPTION"), caption);
    EXPECT_EQ(form.FindComponent("none"), nullptr);
}

TEST(Components, NamesAreIdentifiersUniqueInTheirOwner) {
    TForm form(nullptr);
    auto* a = new TLabel(&form);
    auto* b = new TLabel(&form);
    a->SetName("_first1");
    EXPECT_THROW(b->SetName("_FIRST1"), EComponentError);
    EXPECT_THROW(b->SetName("1abc"), EComponentError);
    EXPECT_THROW(b->SetName("a b"), EComponentError);
    EXPECT_THROW(b->SetName("Uninstall&MainForm"), EComponentError);
    EXPECT_EQ(b->GetName(), "");
    b->SetName("second");
    a->SetName("_First1");  // its own name in another case is no clash
    EXPECT_EQ(a->GetName(), "_First1");
    a->SetName("");
    EXPECT_EQ(a->GetName(), "");
}

TEST(Components, OwnerFreesWhatItOwnsAndFreedChildrenLeave) {
    int gone = 0;
    {
        TForm form(nullptr);
        auto* panel = new TGradientPanel(&form);
        panel->SetParent(&form);
        auto* inside = new TCounted(&form, gone);
        inside->SetParent(panel);
        new TCounted(&form, gone);
        auto* early = new TCounted(&form, gone);
        early->SetParent(&form);
        delete early;  // leaves its owner's list and its parent's
        EXPECT_EQ(gone, 1);
        EXPECT_EQ(form.GetComponentCount(), 3);
        EXPECT_EQ(form.Controls(), (std::vector<TControl*>{panel}));
    }
    EXPECT_EQ(gone, 3);
}

TEST(Components, ControlsTakeTheirParentsFontAndGroupsDropLostChoices) {
    TForm form(nullptr);
    TFont font;
    font.Name = "Tahoma";
    font.Height = 11;
    font.Charset = fcRussianCharset;
    form.SetFont(font);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    EXPECT_EQ(label->Font(), font);
    auto* group = new TRadioGroup(&form);
    group->GetItems()->Add(u"a");
    group->GetItems()->Add(u"b");
    group->SetItemIndex(1);
    EXPECT_EQ(group->GetItemIndex(), 1);
    group->SetItemIndex(2);  // no such button
    EXPECT_EQ(group->GetItemIndex(), -1);
    group->SetItemIndex(1);
    group->GetItems()->Delete(1);  // the checked item went away
    EXPECT_EQ(group->GetItemIndex(), -1);
}
