// String lists and component ownership: order, nesting, names, destruction.
#include <gtest/gtest.h>

#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

using namespace toolkit;

template <class List>
struct Lists : ::testing::Test {};
using ListTypes = ::testing::Types<TStrings, TWideStrings>;
TYPED_TEST_SUITE(Lists, ListTypes);

// Both lists behave alike; texts are built from ASCII so one body serves both.
TYPED_TEST(Lists, ReplaceInsertDeleteClearAndGuardIndexes) {
    using Text = std::decay_t<decltype(TypeParam().Get(0))>;
    auto t = [](const char* s) { return Text(s, s + std::char_traits<char>::length(s)); };
    TypeParam list;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    EXPECT_EQ(list.Add(t("a")), 0);
    EXPECT_EQ(list.Add(t("b")), 1);
    list.Insert(1, t("between"));
    list.Put(0, t("A"));
    EXPECT_EQ(list.Items(), (std::vector<Text>{t("A"), t("between"), t("b")}));
    EXPECT_EQ(list.IndexOf(t("b")), 2);
    EXPECT_EQ(list.IndexOf(t("B")), -1);
    list.Delete(1);
    EXPECT_EQ(list.Count(), 2);
    for (int bad : {-1, 2}) {
        EXPECT_THROW(list.Get(bad), EListError);
        EXPECT_THROW(list.Put(bad, t("x")), EListError);
        EXPECT_THROW(list.Delete(bad), EListError);
    }
    EXPECT_THROW(list.Insert(3, t("x")), EListError);
    EXPECT_THROW(list.Insert(-1, t("x")), EListError);
    list.Insert(2, t("end"));  // inserting at Count appends
    EXPECT_EQ(list.Get(2), t("end"));
    list.Clear();
    list.Clear();  // nothing to clear: no change
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(changes, 7);
}

namespace {

// Counts destructions, to see who frees whom.
struct TCounted : TLabel {
    TCounted(TComponent* owner, int& gone) : TLabel(owner), gone_(gone) {}
    ~TCounted() override { ++gone_; }
    int& gone_;
};

}  // namespace

TEST(Components, OwnedInCreationOrderNamedUniquelyAndFreedByTheOwner) {
    int gone = 0;
    {
        TForm form(nullptr);
        auto* panel = new TGradientPanel(&form);
        panel->SetParent(&form);
        auto* caption = new TCounted(&form, gone);  // lives inside the panel, belongs to the form
        caption->SetParent(panel);
        caption->SetName("lbQuestionCaption");
        auto* early = new TCounted(&form, gone);
        early->SetParent(&form);
        auto* edit = new TEdit(&form);
        EXPECT_EQ(form.GetComponent(2), early);
        delete early;  // leaves its owner's list and its parent's
        EXPECT_EQ(gone, 1);
        ASSERT_EQ(form.GetComponentCount(), 3);
        EXPECT_EQ(form.GetComponent(0), panel);
        EXPECT_EQ(form.GetComponent(1), caption);
        EXPECT_EQ(form.GetComponent(2), edit);
        EXPECT_THROW(form.GetComponent(3), EListError);
        EXPECT_THROW(form.GetComponent(-1), EListError);
        EXPECT_EQ(panel->GetComponentCount(), 0);
        EXPECT_EQ(caption->GetOwner(), &form);
        EXPECT_EQ(panel->Controls(), (std::vector<TControl*>{caption}));
        EXPECT_EQ(form.Controls(), (std::vector<TControl*>{panel}));
        EXPECT_EQ(form.FindComponent("LBQUESTIONCAPTION"), caption);
        EXPECT_EQ(form.FindComponent("none"), nullptr);
        EXPECT_EQ(form.FindComponent(""), nullptr);

        edit->SetName("_first1");
        for (const char* bad : {"_FIRST1", "1abc", "a b", "Uninstall&MainForm"})
            EXPECT_THROW(panel->SetName(bad), EComponentError) << bad;
        EXPECT_EQ(panel->GetName(), "");
        edit->SetName("_First1");  // its own name in another case is no clash
        EXPECT_EQ(edit->GetName(), "_First1");
        edit->SetName("");
        panel->SetName("_first1");
    }
    EXPECT_EQ(gone, 2);
}

TEST(Components, RadioGroupSelectsOnlyExistingItemsAndForgetsOnesThatGo) {
    TRadioGroup group(nullptr);
    for (auto item : {u"a", u"b", u"c"}) group.GetItems()->Add(item);
    const std::pair<int, int> rows[] = {{0, 0}, {2, 2}, {3, -1}, {1, 1}, {-1, -1}, {-2, -1}};
    for (auto [set, read] : rows) {
        group.SetItemIndex(set);
        EXPECT_EQ(group.GetItemIndex(), read) << set;
    }
    group.SetItemIndex(1);
    group.GetItems()->Delete(2);  // the checked item stays: it is now the last
    EXPECT_EQ(group.GetItemIndex(), 1);
    group.GetItems()->Delete(0);  // the index now lies past the end
    EXPECT_EQ(group.GetItemIndex(), -1);
}

TEST(Components, ControlsTakeTheirParentsFont) {
    TForm form(nullptr);
    TFont font;  // other than the default one
    font.Name = "Arial";
    font.Charset = fcRussianCharset;
    form.SetFont(font);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    EXPECT_EQ(label->Font(), font);
}
