// Controls: the model's values and the link to the back end's peer.
#include "toolkit/Controls.h"

#include <algorithm>

namespace toolkit {

UF_CLASS_INFO(TFont, TPersistent) {}

UF_CLASS_INFO(TControl, TComponent) {
    r.LString("Hint", &TControl::GetHint, &TControl::SetHint);
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    // Owned components may be children of this control; they go while it is still whole.
    DestroyComponents();
    peer_.reset();
    SetParent(nullptr);
}

void TControl::SetTextW(const WideString& text) {
    if (text == text_) return;  // also ends the echo of a peer reporting the user's typing
    text_ = text;
    Changed();
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) {
        auto& list = parent_->controls_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    parent_ = parent;
    if (parent_) {
        parent_->controls_.push_back(this);
        font_ = parent_->font_;
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void TControl::SetFont(const TFont& font) {
    font_ = font;
    Changed();
}

void TControl::SetColor(TColor color) {
    color_ = color;
    Changed();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::SetPeer(std::unique_ptr<TControlPeer> peer) { peer_ = std::move(peer); }

void TControl::ReleasePeers() { peer_.reset(); }

void TControl::Changed() {
    if (peer_) peer_->Sync();
}

UF_CLASS_INFO(TWinControl, TControl) {}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    DestroyComponents();
    // Children owned elsewhere outlive this parent: they are left without one.
    ReleasePeers();
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

std::vector<TWinControl*> TWinControl::TabList() const {
    std::vector<TWinControl*> list;
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->tabStop_) list.push_back(w);
    std::stable_sort(list.begin(), list.end(),
                     [](const TWinControl* a, const TWinControl* b) { return a->tabOrder_ < b->tabOrder_; });
    return list;
}

void TWinControl::ReleasePeers() {
    for (TControl* c : controls_) c->ReleasePeers();
    TControl::ReleasePeers();
}

}  // namespace toolkit
