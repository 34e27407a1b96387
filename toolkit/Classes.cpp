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

namespace {

[[noreturn]] void ListIndexError(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

template <class Vector>
void CheckIndex(const Vector& v, int index, bool allowEnd = false) {
    const auto size = static_cast<int>(v.size());
    if (index < 0 || index > size || (index == size && !allowEnd)) ListIndexError(index);
}

}  // namespace

UF_CLASS_INFO(TStrings, TPersistent) {}

const AnsiString& TStrings::Get(int index) const {
    CheckIndex(lines_, index);
    return lines_[static_cast<std::size_t>(index)];
}
void TStrings::Put(int index, const AnsiString& line) {
    CheckIndex(lines_, index);
    lines_[static_cast<std::size_t>(index)] = line;
    Changed();
}
int TStrings::Add(const AnsiString& line) {
    lines_.push_back(line);
    Changed();
    return Count() - 1;
}
void TStrings::Insert(int index, const AnsiString& line) {
    CheckIndex(lines_, index, true);
    lines_.insert(lines_.begin() + index, line);
    Changed();
}
void TStrings::Delete(int index) {
    CheckIndex(lines_, index);
    lines_.erase(lines_.begin() + index);
    Changed();
}
void TStrings::Clear() {
    if (lines_.empty()) return;
    lines_.clear();
    Changed();
}
int TStrings::IndexOf(std::string_view line) const {
    auto it = std::find(lines_.begin(), lines_.end(), line);
    return it == lines_.end() ? -1 : static_cast<int>(it - lines_.begin());
}
void TStrings::Changed() {
    if (OnChange) OnChange();
}

UF_CLASS_INFO(TWideStrings, TPersistent) {}

const WideString& TWideStrings::Get(int index) const {
    CheckIndex(items_, index);
    return items_[static_cast<std::size_t>(index)];
}
void TWideStrings::Put(int index, const WideString& item) {
    CheckIndex(items_, index);
    items_[static_cast<std::size_t>(index)] = item;
    Changed();
}
int TWideStrings::Add(const WideString& item) {
    items_.push_back(item);
    Changed();
    return Count() - 1;
}
void TWideStrings::Insert(int index, const WideString& item) {
    CheckIndex(items_, index, true);
    items_.insert(items_.begin() + index, item);
    Changed();
}
void TWideStrings::Delete(int index) {
    CheckIndex(items_, index);
    items_.erase(items_.begin() + index);
    Changed();
}
void TWideStrings::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed();
}
int TWideStrings::IndexOf(std::u16string_view item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}
void TWideStrings::Changed() {
    if (OnChange) OnChange();
}

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
    CheckIndex(components_, index);
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
