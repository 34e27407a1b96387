// The widgets and the properties they publish.
#include "toolkit/StdCtrls.h"

namespace toolkit {

UF_CLASS_INFO(TLabel, TControl) {
    r.LString("Caption", &TLabel::GetText, &TLabel::SetText);
}

TLabel::TLabel(TComponent* owner) : TControl(owner) {}

UF_CLASS_INFO(TGradientPanel, TWinControl) {
    r.LString("Caption", &TGradientPanel::GetText, &TGradientPanel::SetText);
}

TGradientPanel::TGradientPanel(TComponent* owner) : TWinControl(owner) {}

UF_CLASS_INFO(TCustomRadioGroup, TWinControl) {}

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TWideStrings>()) {
    SetTabStop(true);
    items_->OnChange = [this] {
        if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
        Changed();
    };
}

void TCustomRadioGroup::SetItemIndex(int index) {
    if (index < 0 || index >= items_->Count()) index = -1;
    if (index == itemIndex_) return;
    itemIndex_ = index;
    Changed();
}

UF_CLASS_INFO(TRadioGroup, TCustomRadioGroup) {
    r.WString("Caption", &TRadioGroup::GetCaption, &TRadioGroup::SetCaption);
    r.Object("Items", &TRadioGroup::GetItems);
}

UF_CLASS_INFO(TButtonControl, TWinControl) {}

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

UF_CLASS_INFO(TPushButton, TButtonControl) {
    r.WString("Caption", &TPushButton::GetCaption, &TPushButton::SetCaption);
}

TPushButton::TPushButton(TComponent* owner) : TButtonControl(owner) {}

UF_CLASS_INFO(TEdit, TWinControl) {
    r.Char("PasswordChar");
    r.LString("Text", &TEdit::GetText, &TEdit::SetText);
}

TEdit::TEdit(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

UF_CLASS_INFO(TCustomComboBox, TWinControl) {}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TWideStrings>()) {
    SetTabStop(true);
    items_->OnChange = [this] {
        if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
        Changed();
    };
}

void TCustomComboBox::SetItemIndex(int index) {
    if (index < 0 || index >= items_->Count()) {
        itemIndex_ = -1;
        Changed();
        return;
    }
    itemIndex_ = index;
    // Showing the item's text again is the point even when the index is unchanged.
    SetTextW(items_->Get(index));
    Changed();
}

UF_CLASS_INFO(TComboBox, TCustomComboBox) {
    r.Object("Items", &TComboBox::GetItems);
    r.Object("Lines", &TComboBox::GetItems);
    r.LString("Text", &TComboBox::GetText, &TComboBox::SetText);
}

}  // namespace toolkit
