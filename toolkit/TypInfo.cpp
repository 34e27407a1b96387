// Published properties by name, over the per-class tables of Classes.h.
#include "toolkit/TypInfo.h"

#include <algorithm>

namespace toolkit {

namespace {

// Orders by name without regard to ASCII case, then byte-wise so that the order is total.
bool NameLess(const TPropInfo* a, const TPropInfo* b) {
    const AnsiString ua = platform::AsciiUpperCase(a->Name()), ub = platform::AsciiUpperCase(b->Name());
    if (ua != ub) return ua < ub;
    return a->Name() < b->Name();
}

[[noreturn]] void NoSuchProperty(const TObject& object, std::string_view name) {
    throw EPropertyError("Property " + std::string(name) + " does not exist in " + object.ClassName());
}

[[noreturn]] void WrongKind(const TPropInfo& prop, const char* what) {
    throw EPropertyError("Property " + prop.Name() + " is of kind " + TypeKindName(prop.Kind()) +
                         ", not " + what);
}

const TPropInfo& Find(const TObject& object, std::string_view name) {
    const TPropInfo* prop = GetPropInfo(object, name);
    if (!prop) NoSuchProperty(object, name);
    return *prop;
}

}  // namespace

TPropList GetPropList(const TObject& object) {
    TPropList list;
    // The class's own entries first, so that a redeclared name hides the ancestor's.
    for (const TClassInfo* c = &object.ClassInfo(); c; c = c->Parent())
        for (const TPropInfo& prop : c->OwnProps()) {
            bool hidden = std::any_of(list.begin(), list.end(), [&](const TPropInfo* p) {
                return platform::AsciiSameText(p->Name(), prop.Name());
            });
            if (!hidden) list.push_back(&prop);
        }
    std::sort(list.begin(), list.end(), NameLess);
    return list;
}

const TPropInfo* GetPropInfo(const TObject& object, std::string_view name) {
    for (const TClassInfo* c = &object.ClassInfo(); c; c = c->Parent())
        for (const TPropInfo& prop : c->OwnProps())
            if (platform::AsciiSameText(prop.Name(), name)) return &prop;
    return nullptr;
}

AnsiString GetStrProp(const TObject& object, const TPropInfo& prop) {
    switch (prop.Kind()) {
    case TTypeKind::tkString:
    case TTypeKind::tkLString: return prop.getAnsi(object);
    case TTypeKind::tkWString: return platform::WideToAnsi(prop.getWide(object));
    case TTypeKind::tkChar:
    case TTypeKind::tkWChar: return {};
    case TTypeKind::tkClass: break;
    }
    WrongKind(prop, "a string");
}

AnsiString GetStrProp(const TObject& object, std::string_view name) { return GetStrProp(object, Find(object, name)); }

void SetStrProp(TObject& object, const TPropInfo& prop, const AnsiString& value) {
    switch (prop.Kind()) {
    case TTypeKind::tkString:
    case TTypeKind::tkLString:
        if (!prop.setAnsi) WrongKind(prop, "a writable string");
        prop.setAnsi(object, value);
        return;
    case TTypeKind::tkWString:
        if (!prop.setWide) WrongKind(prop, "a writable string");
        prop.setWide(object, platform::AnsiToWide(value));
        return;
    case TTypeKind::tkChar:
    case TTypeKind::tkWChar: return;
    case TTypeKind::tkClass: break;
    }
    WrongKind(prop, "a string");
}

void SetStrProp(TObject& object, std::string_view name, const AnsiString& value) {
    SetStrProp(object, Find(object, name), value);
}

WideString GetWideStrProp(const TObject& object, const TPropInfo& prop) {
    if (prop.Kind() == TTypeKind::tkWString) return prop.getWide(object);
    return platform::AnsiToWide(GetStrProp(object, prop));
}

void SetWideStrProp(TObject& object, const TPropInfo& prop, const WideString& value) {
    if (prop.Kind() == TTypeKind::tkWString) {
        if (!prop.setWide) WrongKind(prop, "a writable string");
        prop.setWide(object, value);
        return;
    }
    SetStrProp(object, prop, platform::WideToAnsi(value));
}

TObject* GetOrdProp(const TObject& object, const TPropInfo& prop) {
    if (prop.Kind() != TTypeKind::tkClass) WrongKind(prop, "an object");
    return prop.getObject(object);
}

TObject* GetOrdProp(const TObject& object, std::string_view name) { return GetOrdProp(object, Find(object, name)); }

}  // namespace toolkit
