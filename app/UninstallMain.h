#pragma once
// The feedback dialog: asks why the product is being removed, offers seven reasons (the last, "Other",
// with a free-text field) and sends the answer when it closes.
#include <array>
#include <functional>

#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

class TUninstallMainForm : public toolkit::TForm {
    UF_DECLARE_CLASS(TUninstallMainForm)
public:
    // Builds the designed form: the components below in this order (the translator walks them so), their
    // layout, fonts and the stored window title "Uninstall". The handlers are wired here.
    explicit TUninstallMainForm(toolkit::TComponent* owner);

    toolkit::TLabel* lbQuestion;
    toolkit::TGradientPanel* pnHeader;
    toolkit::TLabel* lbQuestionCaption;  // inside pnHeader
    toolkit::TRadioGroup* rgReason;
    toolkit::TPushButton* bnDelete;
    toolkit::TEdit* edOther;

    // The product's display name (ANSI), from argument 1 with "_" read as " ".
    AnsiString ProductName;

    // The reasons in English; the index is the item index in rgReason. Index 6 is the free-text one.
    static constexpr int OtherReasonIndex = 6;
    static const std::array<const char*, 7> EnglishReasons;

    // Creation handler: product name, English texts, "Other" selected, empty edit, then the language.
    // With no argument it asks the application to end before the dialog is shown.
    void FormCreate(toolkit::TObject* sender);
    // The button closes the dialog, as the close box does.
    void bnDeleteClick(toolkit::TObject* sender);
    // Close handler: the feedback report runs here, once per close.
    void FormClose(toolkit::TObject* sender, toolkit::TCloseAction& action);

    // What FormClose runs instead of the real report (SendReport) when set; tests watch the close path so.
    std::function<void(const TUninstallMainForm&)> Report;

    // The dialog's own operations; public so that the language selection's helpers and the tests can run
    // them.
    void SetEnglishTexts();
    // Applies the user's language over the English texts, or runs SetEnglishTexts again (app/SelectLanguage.cpp).
    void SelectLanguage();
};
