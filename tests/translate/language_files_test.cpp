// The language files the project ships, read by the real parser and applied to the real dialog. The
// files are Windows code-page bytes; the expected texts here are UTF-8, so the bytes are decoded by the
// code page the file declares, strictly: a file saved in another encoding fails.
#include <gtest/gtest.h>

#include <optional>

#include "app/UninstallMain.h"
#include "platform/files.h"
#include "translate/Translator.h"
#include "xml/Parser.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The letters of Windows-1251 (Cyrillic) or the Latin-1 range of Windows-1252; nothing else above ASCII.
std::optional<std::string> Decode(const std::string& bytes, unsigned codePage) {
    std::string out;
    for (unsigned char b : bytes) {
        char32_t c = b;
        if (b >= 0x80) {
            if (codePage == 1251 && b >= 0xC0) c = 0x0410 + (b - 0xC0);
            else if (codePage == 1251 && b == 0xA8) c = 0x0401;
            else if (codePage == 1251 && b == 0xB8) c = 0x0451;
            else if (codePage == 1252 && b >= 0xA0) c = b;
            else return std::nullopt;
        }
        AppendUtf8(out, c);
    }
    return out;
}

struct Expected {
    const char* language;
    unsigned codePage;
    const char* caption;
    const char* header;
    const char* question;
    const char* button;
    std::vector<std::string> reasons;
};

class LanguageFiles : public ::testing::TestWithParam<Expected> {};

TEST_P(LanguageFiles, TranslateTheWholeDialog) {
    const Expected& e = GetParam();
    const AnsiString file = AnsiString(UF_LANG_DIR) + e.language + "/Uninstall.xml";
    ASSERT_TRUE(platform::FileExists(file)) << file;
    const std::string bytes = platform::ReadWholeFile(file);
    EXPECT_NE(std::string::npos, bytes.find("encoding=\"windows-" + std::to_string(e.codePage) + "\"")) << file;
    ASSERT_TRUE(Decode(bytes, e.codePage)) << "not " << e.codePage << ": " << file;

    TUninstallMainForm form(nullptr);
    form.ProductName = "Velmora";
    form.SetEnglishTexts();
    TxmlTree tree(LoadXmlFile(file));
    ASSERT_EQ(S_OK, TTranslator().Translate(tree.Get(), u"Uninstall", &form));

    auto text = [&](const AnsiString& ansi) { return Decode(ansi, e.codePage).value_or("<undecodable>"); };
    EXPECT_EQ(e.caption, text(form.GetCaption()));
    EXPECT_EQ(e.header, text(form.lbQuestionCaption->GetText()));
    EXPECT_EQ(e.question, text(form.lbQuestion->GetText()));
    EXPECT_EQ(e.button, text(platform::WideToAnsi(form.bnDelete->GetCaption())));
    std::vector<std::string> reasons;
    for (const WideString& item : form.rgReason->GetItems()->Items()) reasons.push_back(text(platform::WideToAnsi(item)));
    EXPECT_EQ(e.reasons, reasons);
    EXPECT_EQ(TUninstallMainForm::OtherReasonIndex, form.rgReason->GetItemIndex());
    EXPECT_EQ("UninstallMainForm", form.GetName());

    // Common covers the header word for a product file that leaves out the header's Control.
    TxmlNode* common = FindChild(tree.Get(), "Common");
    ASSERT_NE(nullptr, common);
    const AnsiString header = form.lbQuestionCaption->GetText();
    EXPECT_EQ(header, GetAttribute(FindChildByAttribute(common, "Item", "Name", "Question"), "value") + ":");
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, LanguageFiles,
    ::testing::Values(
        Expected{"Russian", 1251, "Удаление", "Вопрос:", "Почему вы решили удалить программу?", "Удалить",
                 {"Работает нестабильно", "Не хватает возможностей", "Требует много ресурсов",
                  "Неудобный интерфейс", "Слишком дорого", "Переход на новую версию", "Другое"}},
        Expected{"German", 1252, "Deinstallation", "Frage:", "Warum möchten Sie das Programm entfernen?",
                 "Deinstallieren",
                 {"Läuft instabil", "Es fehlen Funktionen", "Braucht zu viele Ressourcen",
                  "Umständliche Bedienung", "Zu teuer", "Umstieg auf eine neue Version", "Sonstiges"}}),
    [](const auto& info) { return std::string(info.param.language); });

}  // namespace
