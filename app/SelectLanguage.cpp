// The dialog's language: the product's folders from the registry, the language from the user's locale or
// the product's settings file, and the language file applied over the English texts. Every road that does
// not end in an applied translation ends in English. The errors that leave (a registry value of another
// type, a settings file that cannot be loaded, read or released) reach the toolkit's message box through
// FormCreate.
#include "app/LanguageSelection.h"
#include "app/TxRegistry.h"
#include "app/UninstallMain.h"
#include "platform/files.h"
#include "translate/Translator.h"
#include "xml/Parser.h"
#include "xmlini/XMLIni.h"

namespace {

struct ProductPaths {
    AnsiString data;  // holds Desktop.xml
    AnsiString xml;   // holds Lang\<language>\Uninstall.xml
};

ProductPaths ReadProductPaths() {
    ProductPaths paths;
    TxRegistry registry;  // closes the key on every way out
    if (!registry.OpenKey(language::kProductKey, false)) return paths;
    paths.data = AddPathSeparator(registry.ReadStringDef("DataPath", ""));
    paths.xml = AddPathSeparator(registry.ReadStringDef("XMLPath", ""));
    if (paths.xml.empty()) paths.xml = AddPathSeparator(registry.ReadStringDef("PlugPath", ""));
    return paths;
}

// Options\Advanced, value Language; "" when the key is not there.
AnsiString ReadLanguageSetting(IXMLIni& store) {
    bool opened = false;
    CheckAutoResult(store.OpenKey(u"Options\\Advanced", false, -1, &opened));
    if (!opened) return {};
    TBStr value;
    CheckAutoResult(store.ReadString(u"Language", u"", value.Receive()));
    return value.Ansi();
}


// Loads and applies the language file; false on any failure, the tree's release included. The name is built
// the Windows way ("Lang\Russian\Uninstall.xml"); the XML loader takes the system's form of it.
bool ApplyLanguageFile(TUninstallMainForm& form, const AnsiString& fileName) {
    try {
        TxmlNode* root = LoadXmlFile(platform::NativePath(fileName));
        HRESULT status;
        try {
            status = TTranslator().Translate(root, language::kSection, &form);
        } catch (...) {
            status = E_UNEXPECTED;
        }
        language::System().ReleaseTree(root);
        return SUCCEEDED(status);
    } catch (...) {
        return false;
    }
}

}  // namespace

void TUninstallMainForm::SelectLanguage() {
    const ProductPaths paths = ReadProductPaths();

    // Held until the end: the store's release may raise, and that error leaves like its others.
    TInterfacePtr<IXMLIni> store;
    AnsiString name;
    if (IsRussianUser()) {
        name = "Russian";
    } else if (const AnsiString settings = paths.data + "Desktop.xml"; platform::FileExists(settings)) {
        store = NewXMLIni(platform::AnsiToWide(settings));
        name = ReadLanguageSetting(*store.Get());
    }

    if (name.empty() || platform::AsciiSameText(name, "English")) {
        SetEnglishTexts();
    } else {
        const AnsiString fileName = paths.xml + "Lang\\" + name + "\\Uninstall.xml";
        if (!platform::FileExists(fileName) || !ApplyLanguageFile(*this, fileName)) SetEnglishTexts();
    }
    store.Reset();
}
