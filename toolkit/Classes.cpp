// The component model: class tables, string lists and component ownership.
#include "toolkit/Classes.h"

#include <algorithm>

namespace toolkit {

const char* TypeKindName(TTypeKind kind) {
    switch (kind) {
    case TTypeKind::tkString: return "tkString";
    case TTypeKind::tkLString: return "tkLString";
    case TTypeKind::tkWString: return "tkWString";
    case TTypeKind::tkChar: return "tkChar";
    case TTypeKind::tkWChar: return "tkWChar";
    case TTypeKind::tkClass: return "tkClass";
    }
    return "?";
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c == &other) return true;
    return false;
}

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info("TObject", nullptr, {});
    return info;
}

UF_CLASS_INFO(TPersistent, TObject) {}

// ---- string lists ----

UF_CLASS_INFO(TStrings, TPersistent) {}
UF_CLASS_INFO(TWideStrings, TPersistent) {}

// ---- components ----

UF_CLASS_INFO(TComponent, TPersistent) {
    r.LString("Name", &TComponent::GetName, &TComponent::SetName);
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) owner_->Remove(this);
}

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

bool IsValidIdent(const AnsiString& name) {
    if (name.empty() || !IsIdentStart(name[0])) return false;
    return std::all_of(name.begin(), name.end(), IsIdentChar);
}

}  // namespace

void TComponent::SetName(const AnsiString& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("\"" + name + "\" is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw EComponentError("A component named " + name + " already exists");
    }
    name_ = name;
}

TComponent* TComponent::GetComponent(int index) const {
    if (index < 0 || index >= GetComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (platform::AsciiSameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) delete components_.back();  // each removes itself from the list
}

void TComponent::Insert(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it != components_.end()) components_.erase(it);
    component->owner_ = nullptr;
}

}  // namespace toolkit
