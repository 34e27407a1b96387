// Published properties by name: every kind, the sorted list, inheritance, code-page conversion and the
// list objects behind object properties.
#include <gtest/gtest.h>

#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/TypInfo.h"

using namespace toolkit;

namespace {

// A component that publishes one property of every kind.
class TSample : public TComponent {
    UF_DECLARE_CLASS(TSample)
public:
    using TComponent::TComponent;
    AnsiString shortText = "short", longText = "long";
    WideString wideText = u"wide";
    TStrings lines;
    TWideStrings items;

    AnsiString GetShort() const { return shortText; }
    void SetShort(const AnsiString& v) { shortText = v; }
    AnsiString GetLong() const { return longText; }
    void SetLong(const AnsiString& v) { longText = v; }
    WideString GetWide() const { return wideText; }
    void SetWide(const WideString& v) { wideText = v; }
    TStrings* GetLines() const { return const_cast<TStrings*>(&lines); }
    TWideStrings* GetItems() const { return const_cast<TWideStrings*>(&items); }
    TStrings* GetNothing() const { return nullptr; }
    void Refuse(const AnsiString&) { throw Exception("refused"); }
    AnsiString GetUpper() const { return platform::AsciiUpperCase(longText); }
};

UF_CLASS_INFO(TSample, TComponent) {
    r.WString("wCaption", &TSample::GetWide, &TSample::SetWide).String("Short", &TSample::GetShort, &TSample::SetShort);
    r.LString("Long", &TSample::GetLong, &TSample::SetLong).Char("Letter").WChar("WideLetter");
    r.Object("Lines", &TSample::GetLines).Object("Items", &TSample::GetItems).Object("Empty", &TSample::GetNothing);
    r.LString("Guarded", &TSample::GetLong, &TSample::Refuse);
}

// Redeclares one inherited property and adds another.
class TSampleChild : public TSample {
    UF_DECLARE_CLASS(TSampleChild)
public:
    using TSample::TSample;
};

UF_CLASS_INFO(TSampleChild, TSample) {
    r.LString("long", &TSampleChild::GetUpper, &TSampleChild::SetLong);
    r.LString("Added", &TSampleChild::GetLong, &TSampleChild::SetLong);
}

using K = TTypeKind;
using Props = std::vector<std::pair<std::string, TTypeKind>>;

Props Listing(const TObject& o) {
    Props out;
    for (const TPropInfo* p : GetPropList(o)) out.emplace_back(p->Name(), p->Kind());
    return out;
}

}  // namespace

TEST(Properties, ListIsSortedByNameWithoutRegardToCaseAndSubclassesRedeclare) {
    TSample s(nullptr);
    EXPECT_EQ(Listing(s), (Props{{"Empty", K::tkClass}, {"Guarded", K::tkLString}, {"Items", K::tkClass},
                                 {"Letter", K::tkChar}, {"Lines", K::tkClass}, {"Long", K::tkLString},
                                 {"Name", K::tkLString}, {"Short", K::tkString}, {"wCaption", K::tkWString},
                                 {"WideLetter", K::tkWChar}}));
    TSampleChild c(nullptr);
    const Props list = Listing(c);
    ASSERT_EQ(list.size(), 11u);
    EXPECT_EQ(list[0].first, "Added");
    EXPECT_EQ(list[6].first, "long");  // the redeclared name once, with the subclass's accessor
    c.longText = s.longText = "abc";
    EXPECT_EQ(GetStrProp(c, "Long"), "ABC");
    EXPECT_EQ(GetStrProp(s, "Long"), "abc");
}

TEST(Properties, StringKindsByNameAndCharacterKindsReadEmptyAndIgnoreWrites) {
    TSample s(nullptr);
    EXPECT_EQ(GetStrProp(s, "Short"), "short");
    EXPECT_EQ(GetStrProp(s, "LONG"), "long");  // names match without regard to case
    EXPECT_EQ(GetStrProp(s, "wcaption"), "wide");
    EXPECT_EQ(GetStrProp(s, "Letter"), "");
    EXPECT_EQ(GetStrProp(s, "WideLetter"), "");
    for (const char* name : {"Short", "Long", "wCaption", "Name", "Letter", "WideLetter"}) SetStrProp(s, name, "Ab");
    EXPECT_EQ(s.shortText, "Ab");
    EXPECT_EQ(s.longText, "Ab");
    EXPECT_EQ(s.wideText, u"Ab");
    EXPECT_EQ(s.GetName(), "Ab");
    const TPropInfo* wide = GetPropInfo(s, "wCaption");
    SetWideStrProp(s, *wide, u"\u0416");
    EXPECT_EQ(GetWideStrProp(s, *wide), u"\u0416");  // no round trip through 8 bits
    SetWideStrProp(s, *GetPropInfo(s, "Long"), u"l");
    EXPECT_EQ(GetWideStrProp(s, *GetPropInfo(s, "long")), u"l");
    if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "needs code page 1252";
    SetStrProp(s, "wCaption", "caf\xE9");  // wide properties pass through the ANSI code page
    EXPECT_EQ(s.wideText, u"caf\u00E9");
    s.wideText = u"\u0416\u20AC";  // Zhe has no byte in 1252; the euro sign is 0x80
    EXPECT_EQ(GetStrProp(s, "wCaption"), "?\x80");
}

TEST(Properties, ObjectPropertiesAndMisuse) {
    TSample s(nullptr);
    EXPECT_EQ(GetOrdProp(s, "Lines"), &s.lines);
    EXPECT_EQ(GetOrdProp(s, "Items"), &s.items);
    EXPECT_EQ(GetOrdProp(s, "Empty"), nullptr);
    EXPECT_EQ(GetPropInfo(s, "Missing"), nullptr);
    EXPECT_THROW(GetStrProp(s, "Missing"), EPropertyError);
    EXPECT_THROW(SetStrProp(s, "Missing", "x"), EPropertyError);
    EXPECT_THROW(GetOrdProp(s, "Missing"), EPropertyError);
    EXPECT_THROW(GetStrProp(s, "Lines"), EPropertyError);
    EXPECT_THROW(SetStrProp(s, "Items", "x"), EPropertyError);
    EXPECT_THROW(GetOrdProp(s, "Long"), EPropertyError);
    try {
        SetStrProp(s, "Guarded", "x");  // a setter's own error passes through unchanged
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "refused");
    }
}

TEST(Properties, ComboBoxShowsTheSelectedItemAgain) {
    TComboBox combo(nullptr);
    EXPECT_EQ(GetOrdProp(combo, "Lines"), combo.GetItems());
    EXPECT_TRUE(IsComboBox(&combo));
    EXPECT_FALSE(IsComboBox(combo.GetOwner()));
    combo.GetItems()->Add(u"first");
    combo.GetItems()->Add(u"second");
    combo.SetItemIndex(1);
    combo.GetItems()->Put(1, u"zweite");
    EXPECT_EQ(combo.GetText(), "second");  // the list changed, the edit part not yet
    combo.SetItemIndex(2);  // no such item: nothing selected, the text stays
    EXPECT_EQ(combo.GetItemIndex(), -1);
    EXPECT_EQ(combo.GetText(), "second");
    combo.SetItemIndex(0);
    combo.GetItems()->Delete(1);
    EXPECT_EQ(combo.GetItemIndex(), 0);
    combo.GetItems()->Delete(0);
    EXPECT_EQ(combo.GetItemIndex(), -1);
}
