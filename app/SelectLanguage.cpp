// The dialog's language. For now every run shows the built-in English texts.
#include "app/UninstallMain.h"

void TUninstallMainForm::SelectLanguage() { SetEnglishTexts(); }
