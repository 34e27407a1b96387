// The feedback dialog: its designed layout, its texts and its handlers.
#include "app/UninstallMain.h"

#include "app/FeedbackReport.h"

using namespace toolkit;

const std::array<const char*, 7> TUninstallMainForm::EnglishReasons = {
    "Unstable",      "Lacks some functions", "Resource hungry", "Unfriendly interface",
    "Too expensive", "Upgrade version",      "Other",
};

UF_CLASS_INFO(TUninstallMainForm, TForm) {}

TUninstallMainForm::TUninstallMainForm(TComponent* owner) : TForm(owner) {
    SetName("UninstallMainForm");
    SetCaption("Uninstall");
    BorderStyle = TFormBorderStyle::bsDialog;
    SetBounds(206, 173, 0, 0);  // screen position; the size follows from the client area
    SetClientSize(422, 287);
    SetColor(clBtnFace);
    TFont font;
    font.Name = "Tahoma";
    font.Height = 11;
    font.Charset = fcRussianCharset;
    font.Color = clWindowText;
    SetFont(font);

    lbQuestion = new TLabel(this);
    lbQuestion->SetName("lbQuestion");
    lbQuestion->SetParent(this);
    lbQuestion->SetBounds(4, 36, 413, 13);
    lbQuestion->Font().Bold = true;
    lbQuestion->SetAlignment(TAlignment::taCenter);
    lbQuestion->SetAutoSize(false);
    lbQuestion->SetText("lbQuestion");

    pnHeader = new TGradientPanel(this);
    pnHeader->SetName("pnHeader");
    pnHeader->SetParent(this);
    pnHeader->SetBounds(4, 8, 412, 20);
    pnHeader->BeginColor = clBtnShadow;
    pnHeader->EndColor = clBtnHighlight;
    pnHeader->GradientSteps = 255;
    pnHeader->BevelOuter = TBevelCut::bvNone;
    pnHeader->BevelWidth = 8;
    pnHeader->BorderWidth = 8;
    pnHeader->SetTabOrder(0);

    lbQuestionCaption = new TLabel(this);
    lbQuestionCaption->SetName("lbQuestionCaption");
    lbQuestionCaption->SetParent(pnHeader);
    lbQuestionCaption->SetBounds(6, 3, 44, 13);
    lbQuestionCaption->Font().Bold = true;
    lbQuestionCaption->Font().Color = clWhite;
    lbQuestionCaption->SetTransparent(true);
    lbQuestionCaption->SetText("Question:");

    rgReason = new TRadioGroup(this);
    rgReason->SetName("rgReason");
    rgReason->SetParent(this);
    rgReason->SetBounds(16, 64, 389, 181);
    rgReason->Flat = false;
    rgReason->ShowFocus = false;
    rgReason->SetTabOrder(1);

    bnDelete = new TPushButton(this);
    bnDelete->SetName("bnDelete");
    bnDelete->SetParent(this);
    bnDelete->SetBounds(328, 252, 75, 25);
    bnDelete->Default = false;
    bnDelete->SetTabOrder(2);
    bnDelete->SetCaption(u"bnDelete");
    bnDelete->OnClick = [this](TObject* sender) { bnDeleteClick(sender); };

    edOther = new TEdit(this);
    edOther->SetName("edOther");
    edOther->SetParent(this);
    edOther->SetBounds(94, 214, 301, 21);
    edOther->SetTabOrder(3);
    edOther->SetText("edOther");

    ActiveControl = edOther;
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
}

void TUninstallMainForm::FormCreate(TObject*) {
    if (!Application || Application->ParamCount() < 1) {
        if (Application) Application->Terminate();  // nothing to ask about: end unseen
        ProductName.clear();
    } else {
        ProductName = Application->ParamStr(1);
    }
    for (char& c : ProductName)
        if (c == '_') c = ' ';
    SetEnglishTexts();
    rgReason->SetItemIndex(OtherReasonIndex);
    edOther->SetText("");
    SelectLanguage();
}

void TUninstallMainForm::SetEnglishTexts() {
    TWideStrings* items = rgReason->GetItems();
    items->Clear();
    for (const char* reason : EnglishReasons) items->Add(platform::AnsiToWide(reason));
    rgReason->SetItemIndex(OtherReasonIndex);
    lbQuestionCaption->SetText("Question:");
    lbQuestion->SetText("Why have you made up your mind to remove " + ProductName + "?");
    bnDelete->SetCaption(u"Uninstall");
}

void TUninstallMainForm::bnDeleteClick(TObject*) { Close(); }

void TUninstallMainForm::FormClose(TObject*, TCloseAction&) {
    // The feedback report goes out here, before the window goes away.
    if (Report)
        Report(*this);
    else
        SendReport(*this);
}
