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
    char letter = 'x';
    char16_t wideLetter = u'y';
    TStrings lines;
    TWideStrings items;
    TFont font;

    AnsiString GetShort() const { return shortText; }
    void SetShort(const AnsiString& v) { shortText = v; }
    AnsiString GetLong() const { return longText; }
    void SetLong(const AnsiString& v) { longText = v; }
    WideString GetWide() const { return wideText; }
    void SetWide(const WideString& v) { wideText = v; }
    TStrings* GetLines() const { return const_cast<TStrings*>(&lines); }
    TWideStrings* GetItems() const { return const_cast<TWideStrings*>(&items); }
    TFont* GetFontObject() const { return const_cast<TFont*>(&font); }
    TFont* GetNothing() const { return nullptr; }
    void Refuse(const AnsiString&) { throw Exception("refused"); }
};

UF_CLASS_INFO(TSample, TComponent) {
    r.WString("wCaption", &TSample::GetWide, &TSample::SetWide);
    r.String("Short", &TSample::GetShort, &TSample::SetShort);
    r.LString("Long", &TSample::GetLong, &TSample::SetLong);
    r.Char("Letter");
    r.WChar("WideLetter");
    r.Object("Lines", &TSample::GetLines);
    r.Object("Items", &TSample::GetItems);
    r.Object("Font", &TSample::GetFontObject);
    r.Object("Empty", &TSample::GetNothing);
    r.LString("Guarded", &TSample::GetLong, &TSample::Refuse);
}

// Redeclares one inherited property and adds another.
class TSampleChild : public TSample {
    UF_DECLARE_CLASS(TSampleChild)
public:
    using TSample::TSample;
    AnsiString GetUpper() const { return platform::AsciiUpperCase(longText); }
};

UF_CLASS_INFO(TSampleChild, TSample) {
    r.LString("long", &TSampleChild::GetUpper, &TSampleChild::SetLong);
    r.LString("Added", &TSampleChild::GetLong, &TSampleChild::SetLong);
}

std::vector<std::pair<std::string, TTypeKind>> Listing(const TObject& o) {
    std::vector<std::pair<std::string, TTypeKind>> out;
    for (const TPropInfo* p : GetPropList(o)) out.emplace_back(p->Name(), p->Kind());
    return out;
}

using K = TTypeKind;
using Props = std::vector<std::pair<std::string, TTypeKind>>;

}  // namespace

TEST(Properties, ListIsSortedByNameWithoutRegardToCaseAndCarriesKinds) {
    TSample s(nullptr);
    std::vector<std::pair<std::string, TTypeKind>> expected = {
        {"Empty", K::tkClass},  {"Font", K::tkClass},       {"Guarded", K::tkLString}, {"Items", K::tkClass},
        {"Letter", K::tkChar},  {"Lines", K::tkClass},      {"Long", K::tkLString},    {"Name", K::tkLString},
        {"Short", K::tkString}, {"wCaption", K::tkWString}, {"WideLetter", K::tkWChar},
    };
    EXPECT_EQ(Listing(s), expected);
}

TEST(Properties, SubclassInheritsAndRedeclares) {
    TSampleChild c(nullptr);
    auto list = Listing(c);
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list[0].first, "Added");
    // The redeclared name appears once, with the subclass's accessor.
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [](auto& p) { return platform::AsciiSameText(p.first, "long"); }), 1);
    c.longText = "abc";
    EXPECT_EQ(GetStrProp(c, "Long"), "ABC");
    TSample base(nullptr);
    base.longText = "abc";
    EXPECT_EQ(GetStrProp(base, "Long"), "abc");
}

TEST(Properties, StringKindsReadAndWriteByName) {
    TSample s(nullptr);
    EXPECT_EQ(GetStrProp(s, "Short"), "short");
    EXPECT_EQ(GetStrProp(s, "LONG"), "long");  // names match without regard to case
    EXPECT_EQ(GetStrProp(s, "wcaption"), "wide");
    SetStrProp(s, "Short", "a");
    SetStrProp(s, "Long", "b");
    SetStrProp(s, "wCaption", "c");
    EXPECT_EQ(s.shortText, "a");
    EXPECT_EQ(s.longText, "b");
    EXPECT_EQ(s.wideText, u"c");
    SetStrProp(s, "Name", "Renamed");
    EXPECT_EQ(s.GetName(), "Renamed");
    EXPECT_EQ(GetStrProp(s, "Name"), "Renamed");
}

TEST(Properties, CharacterKindsReadEmptyAndIgnoreWrites) {
    TSample s(nullptr);
    EXPECT_EQ(GetStrProp(s, "Letter"), "");
    EXPECT_EQ(GetStrProp(s, "WideLetter"), "");
    SetStrProp(s, "Letter", "q");
    SetStrProp(s, "WideLetter", "q");
    EXPECT_EQ(s.letter, 'x');
    EXPECT_EQ(s.wideLetter, u'y');
    TEdit edit(nullptr);
    edit.PasswordChar = '*';
    EXPECT_EQ(GetStrProp(edit, "PasswordChar"), "");
    SetStrProp(edit, "PasswordChar", "#");
    EXPECT_EQ(edit.PasswordChar, '*');
}

TEST(Properties, WidePropertiesPassThroughTheAnsiCodePage) {
    TPushButton button(nullptr);
    const unsigned cp = platform::AnsiCodePage();
    if (cp == 1252) {
        SetStrProp(button, "Caption", "caf\xE9");
        EXPECT_EQ(button.GetCaption(), u"caf\u00E9");
        button.SetCaption(u"\u0416\u20AC");  // Zhe has no byte in 1252; the euro sign is 0x80
        EXPECT_EQ(GetStrProp(button, "Caption"), "?\x80");
    } else if (cp == 1251) {
        SetStrProp(button, "Caption", "\xC4\xE0");
        EXPECT_EQ(button.GetCaption(), u"\u0414\u0430");
        button.SetCaption(u"\u00E9");
        EXPECT_EQ(GetStrProp(button, "Caption"), "?");
    } else {
        GTEST_SKIP() << "code page " << cp;
    }
    const TPropInfo* caption = GetPropInfo(button, "Caption");
    ASSERT_NE(caption, nullptr);
    SetWideStrProp(button, *caption, u"\u0416");
    EXPECT_EQ(GetWideStrProp(button, *caption), u"\u0416");  // no round trip through 8 bits
}

TEST(Properties, ObjectPropertiesHandOutTheirObjects) {
    TSample s(nullptr);
    TObject* lines = GetOrdProp(s, "Lines");
    TObject* items = GetOrdProp(s, "Items");
    TObject* font = GetOrdProp(s, "Font");
    EXPECT_EQ(lines, &s.lines);
    ASSERT_EQ(items, &s.items);
    EXPECT_EQ(font, &s.font);
    EXPECT_EQ(GetOrdProp(s, "Empty"), nullptr);
    // Changes through the object reach the component.
    static_cast<TWideStrings*>(items)->Add(u"one");
    EXPECT_EQ(s.items.Count(), 1);
}

TEST(Properties, MisuseRaisesPropertyErrors) {
    TSample s(nullptr);
    EXPECT_THROW(GetStrProp(s, "Missing"), EPropertyError);
    EXPECT_THROW(SetStrProp(s, "Missing", "x"), EPropertyError);
    EXPECT_THROW(GetOrdProp(s, "Missing"), EPropertyError);
    EXPECT_THROW(GetStrProp(s, "Lines"), EPropertyError);
    EXPECT_THROW(SetStrProp(s, "Items", "x"), EPropertyError);
    EXPECT_THROW(GetOrdProp(s, "Long"), EPropertyError);
    EXPECT_EQ(GetPropInfo(s, "Missing"), nullptr);
    // A setter's own error passes through unchanged.
    try {
        SetStrProp(s, "Guarded", "x");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "refused");
    }
}

TEST(Properties, WidgetsPublishTheirTexts) {
    TLabel label(nullptr);
    TRadioGroup group(nullptr);
    TPushButton button(nullptr);
    TEdit edit(nullptr);
    TComboBox combo(nullptr);
    TForm form(nullptr);
    TGradientPanel panel(nullptr);
    EXPECT_EQ(Listing(label), (Props{{"Caption", K::tkLString}, {"Hint", K::tkLString}, {"Name", K::tkLString}}));
    EXPECT_EQ(Listing(group), (Props{{"Caption", K::tkWString}, {"Hint", K::tkLString},
                                                         {"Items", K::tkClass}, {"Name", K::tkLString}}));
    EXPECT_EQ(Listing(button), (Props{{"Caption", K::tkWString}, {"Hint", K::tkLString}, {"Name", K::tkLString}}));
    EXPECT_EQ(Listing(edit), (Props{{"Hint", K::tkLString}, {"Name", K::tkLString},
                                                        {"PasswordChar", K::tkChar}, {"Text", K::tkLString}}));
    EXPECT_EQ(Listing(combo), (Props{{"Hint", K::tkLString}, {"Items", K::tkClass}, {"Lines", K::tkClass},
                                                         {"Name", K::tkLString}, {"Text", K::tkLString}}));
    EXPECT_EQ(Listing(form), (Props{{"Caption", K::tkLString}, {"Hint", K::tkLString}, {"Name", K::tkLString}}));
    EXPECT_EQ(Listing(panel), (Props{{"Caption", K::tkLString}, {"Hint", K::tkLString}, {"Name", K::tkLString}}));

    SetStrProp(label, "Caption", "Question:");
    EXPECT_EQ(label.GetText(), "Question:");
    SetStrProp(edit, "Text", "typed");
    EXPECT_EQ(edit.GetText(), "typed");
    SetStrProp(form, "Caption", "Title");
    EXPECT_EQ(form.GetCaption(), "Title");
    EXPECT_EQ(GetOrdProp(group, "Items"), group.GetItems());
    EXPECT_EQ(GetOrdProp(combo, "Lines"), combo.GetItems());
}

TEST(Properties, ComboBoxShowsTheSelectedItemAgain) {
    TComboBox combo(nullptr);
    EXPECT_TRUE(IsComboBox(&combo));
    TEdit edit(nullptr);
    EXPECT_FALSE(IsComboBox(&edit));
    combo.GetItems()->Add(u"first");
    combo.GetItems()->Add(u"second");
    combo.SetItemIndex(1);
    EXPECT_EQ(combo.GetText(), "second");
    combo.GetItems()->Put(1, u"zweite");
    EXPECT_EQ(combo.GetText(), "second");  // the list changed, the edit part not yet
    combo.SetItemIndex(combo.GetItemIndex());
    EXPECT_EQ(combo.GetText(), "zweite");
    combo.SetItemIndex(5);
    EXPECT_EQ(combo.GetItemIndex(), -1);
    EXPECT_EQ(combo.GetText(), "zweite");
}
