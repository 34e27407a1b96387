#pragma once
// The pieces of the dialog's language selection (TUninstallMainForm::SelectLanguage in SelectLanguage.cpp):
// where the product keeps its folders, how a folder path is completed, and what the selection asks the
// system for, which tests replace.
#include <cstdint>
#include <functional>

#include "platform/codepage.h"

class TxmlNode;

namespace language {

// The product's key under HKEY_CURRENT_USER and the values read from it.
inline constexpr const char* kProductKey = "Software\\Quarnel\\Velmora3\\";
// The section of Lang\<language>\Uninstall.xml that the dialog applies.
inline constexpr const char16_t* kSection = u"Uninstall";
// The locale identifier that selects Russian whatever the settings say (Russian, Russia). Other Russian
// locales (0x0819, Moldova) leave the choice to the settings file.
inline constexpr std::uint32_t kRussianLcid = 1049;

// What the selection asks of the system. Defaults: platform::UserDefaultLCID and DestroyNode.
struct TSystem {
    std::function<std::uint32_t()> UserDefaultLCID;
    // Releases the language file's tree; may raise (the tree's release can fail).
    std::function<void(TxmlNode* top)> ReleaseTree;
};
// The process-wide hooks. Tests assign their own and restore the defaults with ResetSystem.
TSystem& System();
void ResetSystem();

}  // namespace language

// Completes a folder path so that a file name can follow: "" stays "", a path ending in "\", "/" or ":"
// stays as it is, a lone drive letter becomes its root ("D" gives "D:\"), otherwise "/" is appended when
// the path holds a "/" anywhere and "\" when not.
AnsiString AddPathSeparator(const AnsiString& path);

// The user's default locale is Russian (1049).
bool IsRussianUser();
