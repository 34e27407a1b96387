// The language files the project ships, read by the real parser and applied to the real dialog: each is
// in the code page it declares and translates every text of the dialog.
#include <gtest/gtest.h>

#include "app/UninstallMain.h"
#include "platform/files.h"
#include "translate/Translator.h"
#include "xml/Parser.h"

namespace {

// Bytes that are letters of the code page: Cyrillic in 1251, the Latin-1 range in 1252.
bool InCodePage(const std::string& bytes, unsigned codePage) {
    for (unsigned char b : bytes)
        if (b >= 0x80 && !(codePage == 1252 ? b >= 0xA0 : (b >= 0xC0 || b == 0xA8 || b == 0xB8))) return false;
    return true;
}

TEST(LanguageFiles, EachTranslatesTheWholeDialog) {
    for (const auto& [language, codePage] : {std::pair{"Russian", 1251u}, std::pair{"German", 1252u}}) {
        const AnsiString file = AnsiString(UF_LANG_DIR) + language + "/Uninstall.xml";
        const std::string bytes = platform::ReadWholeFile(file);
        EXPECT_NE(std::string::npos, bytes.find("encoding=\"windows-" + std::to_string(codePage) + "\"")) << file;
        EXPECT_TRUE(InCodePage(bytes, codePage)) << file;

        TUninstallMainForm english(nullptr), form(nullptr);
        english.SetEnglishTexts();
        form.SetEnglishTexts();
        TxmlTree tree(LoadXmlFile(file));
        ASSERT_EQ(S_OK, TTranslator().Translate(tree.Get(), u"Uninstall", &form));
        EXPECT_NE(form.GetCaption(), english.GetCaption()) << file;
        EXPECT_NE(form.lbQuestionCaption->GetText(), english.lbQuestionCaption->GetText()) << file;
        EXPECT_NE(form.lbQuestion->GetText(), english.lbQuestion->GetText()) << file;
        EXPECT_NE(form.bnDelete->GetCaption(), english.bnDelete->GetCaption()) << file;
        const auto& items = form.rgReason->GetItems()->Items();
        ASSERT_EQ(items.size(), 7u);
        for (int i = 0; i < 7; ++i) EXPECT_NE(items[i], english.rgReason->GetItems()->Get(i)) << file << " " << i;
        EXPECT_EQ(TUninstallMainForm::OtherReasonIndex, form.rgReason->GetItemIndex());
        // Common covers the header word for a product file that leaves out the header's Control.
        TxmlNode* question = FindChildByAttribute(FindChild(tree.Get(), "Common"), "Item", "Name", "Question");
        EXPECT_EQ(form.lbQuestionCaption->GetText(), GetAttribute(question, "value") + ":") << file;
    }
}

}  // namespace
