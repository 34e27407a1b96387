#pragma once
// Controls: text, position in 96-dpi design pixels, parent, font and colour. The model holds every value;
// a back end mirrors it on screen through a peer and reports the user's changes back.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "toolkit/Classes.h"

namespace toolkit {

class TWinControl;

// An RGB colour (0x00BBGGRR) or, with the top bit set, a system colour index (the Win32 COLOR_* values).
using TColor = std::uint32_t;
constexpr TColor SystemColor(int index) { return 0x80000000u | static_cast<TColor>(index); }
inline constexpr TColor clBtnShadow = SystemColor(16);     // COLOR_BTNSHADOW
inline constexpr TColor clBtnHighlight = SystemColor(20);  // COLOR_BTNHIGHLIGHT
inline constexpr TColor clBtnFace = SystemColor(15);       // COLOR_BTNFACE
inline constexpr TColor clWindowText = SystemColor(8);     // COLOR_WINDOWTEXT
inline constexpr TColor clWindow = SystemColor(5);         // COLOR_WINDOW
inline constexpr TColor clWhite = 0x00FFFFFFu;
inline constexpr TColor clBlack = 0x00000000u;
inline constexpr TColor clDefault = 0x20000000u;  // the control's own default
constexpr bool IsSystemColor(TColor c) { return (c & 0x80000000u) != 0; }

// Character sets of the Win32 font API.
inline constexpr int fcDefaultCharset = 1;
inline constexpr int fcRussianCharset = 204;

// A font description; Height is the character height in 96-dpi pixels (as a negative LOGFONT height).
class TFont : public TPersistent {
    UF_DECLARE_CLASS(TFont)
public:
    AnsiString Name = "Tahoma";
    int Height = 11;
    int Charset = fcDefaultCharset;
    bool Bold = false;
    TColor Color = clWindowText;

    bool operator==(const TFont& other) const {
        return Name == other.Name && Height == other.Height && Charset == other.Charset &&
               Bold == other.Bold && Color == other.Color;
    }
};

// What a back end attaches to a control to show it. Sync() brings the screen up to the model's values.
class TControlPeer {
public:
    virtual ~TControlPeer() = default;
    virtual void Sync() = 0;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// Published: Name, Hint (long strings).
class TControl : public TComponent {
    UF_DECLARE_CLASS(TControl)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    // The control's text: a label's caption, an edit's text, a form's title (8-bit, ANSI code page).
    AnsiString GetText() const { return platform::WideToAnsi(text_); }
    void SetText(const AnsiString& text) { SetTextW(platform::AnsiToWide(text)); }
    const WideString& GetTextW() const { return text_; }
    virtual void SetTextW(const WideString& text);

    TWinControl* GetParent() const { return parent_; }
    void SetParent(TWinControl* parent);

    // Position relative to the parent's client area, in 96-dpi pixels.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // The font and colours; a control starts with its parent's font when it gets a parent.
    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    const AnsiString& GetHint() const { return hint_; }
    void SetHint(const AnsiString& hint) { hint_ = hint; }

    std::function<void(TObject* sender)> OnClick;
    // Runs OnClick; the back end calls it when the user activates the control.
    virtual void Click();

    TControlPeer* Peer() const { return peer_.get(); }
    void SetPeer(std::unique_ptr<TControlPeer> peer);
    // Drops the peers of this control and of its child controls (children first).
    virtual void ReleasePeers();

protected:
    // Tells the peer that the model changed.
    void Changed();

private:
    WideString text_;
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    TFont font_;
    TColor color_ = clDefault;
    AnsiString hint_;
    std::unique_ptr<TControlPeer> peer_;
};

// A control that can hold other controls and take the keyboard focus.
class TWinControl : public TControl {
    UF_DECLARE_CLASS(TWinControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* GetControl(int index) const { return controls_.at(static_cast<std::size_t>(index)); }
    const std::vector<TControl*>& Controls() const { return controls_; }

    // Position in the keyboard's tab sequence among the parent's controls; -1 is "not a tab stop".
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order) { tabOrder_ = order; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool stop) { tabStop_ = stop; }
    // The child controls that are tab stops, in tab order.
    std::vector<TWinControl*> TabList() const;

    void ReleasePeers() override;

private:
    friend class TControl;
    std::vector<TControl*> controls_;
    int tabOrder_ = -1;
    bool tabStop_ = false;
};

}  // namespace toolkit
