#pragma once
// The widgets: label, gradient panel, radio group, push button, one-line edit, combo box.
// Published properties are listed at each class (every control also has Name and Hint).
#include "toolkit/Controls.h"

namespace toolkit {

// Published: Caption (long string).
class TLabel : public TControl {
    UF_DECLARE_CLASS(TLabel)
public:
    explicit TLabel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a) { alignment_ = a; Changed(); }
    // Draws only the text, over whatever lies beneath.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool t) { transparent_ = t; Changed(); }
    // When true (the default) the label is as large as its text needs, from its Left/Top; when false it
    // keeps its bounds and the text is clipped to them.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool a) { autoSize_ = a; Changed(); }

private:
    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool transparent_ = false;
    bool autoSize_ = true;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A panel whose background is a horizontal gradient from BeginColor (left) to EndColor (right) in
// GradientSteps bands. Published: Caption (long string).
class TGradientPanel : public TWinControl {
    UF_DECLARE_CLASS(TGradientPanel)
public:
    explicit TGradientPanel(TComponent* owner);

    TColor BeginColor = clBtnShadow;
    TColor EndColor = clBtnHighlight;
    int GradientSteps = 255;
    TBevelCut BevelOuter = TBevelCut::bvRaised;
    int BevelWidth = 1;
    int BorderWidth = 0;
};

// A framed group of radio buttons, one per item; ItemIndex is the checked one (-1: none).
class TCustomRadioGroup : public TWinControl {
    UF_DECLARE_CLASS(TCustomRadioGroup)
public:
    explicit TCustomRadioGroup(TComponent* owner);

    TWideStrings* GetItems() const { return items_.get(); }
    int GetItemIndex() const { return itemIndex_; }
    // Values outside the items select nothing (-1), as a radio group cannot check a missing button.
    void SetItemIndex(int index);

    // The group's caption, drawn in the frame's top edge when not empty.
    WideString GetCaption() const { return GetTextW(); }
    void SetCaption(const WideString& caption) { SetTextW(caption); }

    bool Flat = false;
    bool ShowFocus = true;

private:
    std::unique_ptr<TWideStrings> items_;
    int itemIndex_ = -1;
};

// Published: Caption (wide string), Items (TWideStrings).
class TRadioGroup : public TCustomRadioGroup {
    UF_DECLARE_CLASS(TRadioGroup)
public:
    using TCustomRadioGroup::TCustomRadioGroup;
};

class TButtonControl : public TWinControl {
    UF_DECLARE_CLASS(TButtonControl)
public:
    explicit TButtonControl(TComponent* owner);

    WideString GetCaption() const { return GetTextW(); }
    void SetCaption(const WideString& caption) { SetTextW(caption); }
};

// Published: Caption (wide string).
class TPushButton : public TButtonControl {
    UF_DECLARE_CLASS(TPushButton)
public:
    explicit TPushButton(TComponent* owner);

    // The default button (Enter presses it) is drawn with a thicker frame.
    bool Default = false;
};

// A one-line edit. Published: Text (long string), PasswordChar (character).
class TEdit : public TWinControl {
    UF_DECLARE_CLASS(TEdit)
public:
    explicit TEdit(TComponent* owner);

    char PasswordChar = '\0';
};

// A drop-down list with an edit part. Published: Text (long string), Items and Lines (the same
// TWideStrings).
class TCustomComboBox : public TWinControl {
    UF_DECLARE_CLASS(TCustomComboBox)
public:
    explicit TCustomComboBox(TComponent* owner);

    TWideStrings* GetItems() const { return items_.get(); }
    int GetItemIndex() const { return itemIndex_; }
    // Selects the item and shows its text in the edit part; -1 or a missing item clears the selection
    // and leaves the text.
    void SetItemIndex(int index);

private:
    std::unique_ptr<TWideStrings> items_;
    int itemIndex_ = -1;
};

class TComboBox : public TCustomComboBox {
    UF_DECLARE_CLASS(TComboBox)
public:
    using TCustomComboBox::TCustomComboBox;
};

// Whether the component is a combo box.
inline bool IsComboBox(const TComponent* component) {
    return dynamic_cast<const TCustomComboBox*>(component) != nullptr;
}

}  // namespace toolkit
