#pragma once
// The component model: objects that know their class, published properties registered per class, the
// 8-bit and wide string lists, and components that own other components in creation order.
//
// A class publishes its properties in one line each:
//
//     class TLabel : public TControl {
//         UF_DECLARE_CLASS(TLabel)
//         ...
//     };
//     UF_CLASS_INFO(TLabel, TControl) {               // in the .cpp, in the class's namespace
//         r.LString("Caption", &TLabel::GetText, &TLabel::SetText);
//     }
//
// A subclass inherits its parent's properties; registering a name again (any letter case) replaces the
// parent's entry. Access by name lives in TypInfo.h.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/codepage.h"

namespace toolkit {

class TObject;
class TClassInfo;

// A property that does not exist, or is used as a kind it is not.
class EPropertyError : public Exception { using Exception::Exception; };
// An invalid or duplicate component name.
class EComponentError : public Exception { using Exception::Exception; };

// Property kinds: short 8-bit string, long 8-bit string, wide string, 8-bit character, wide character,
// object. Only these kinds are published.
enum class TTypeKind { tkString, tkLString, tkWString, tkChar, tkWChar, tkClass };
const char* TypeKindName(TTypeKind kind);

// One published property: its name, its kind and type-erased accessors for that kind. Character kinds
// carry no text accessors: by name they read as empty and ignore writes.
class TPropInfo {
public:
    using AnsiGetter = std::function<AnsiString(const TObject&)>;
    using AnsiSetter = std::function<void(TObject&, const AnsiString&)>;
    using WideGetter = std::function<WideString(const TObject&)>;
    using WideSetter = std::function<void(TObject&, const WideString&)>;
    using ObjectGetter = std::function<TObject*(const TObject&)>;

    TPropInfo(std::string name, TTypeKind kind) : name_(std::move(name)), kind_(kind) {}

    const std::string& Name() const { return name_; }
    TTypeKind Kind() const { return kind_; }

    AnsiGetter getAnsi;  // tkString, tkLString
    AnsiSetter setAnsi;  // may be empty: a read-only property
    WideGetter getWide;  // tkWString
    WideSetter setWide;
    ObjectGetter getObject;  // tkClass

private:
    std::string name_;
    TTypeKind kind_;
};

// The class of an object: its name, its parent class and the properties it publishes itself.
class TClassInfo {
public:
    TClassInfo(const char* className, const TClassInfo* parent, std::vector<TPropInfo> props)
        : className_(className), parent_(parent), props_(std::move(props)) {}

    const char* ClassName() const { return className_; }
    const TClassInfo* Parent() const { return parent_; }
    const std::vector<TPropInfo>& OwnProps() const { return props_; }
    // This class or one of its ancestors is `other`.
    bool InheritsFrom(const TClassInfo& other) const;

private:
    const char* className_;
    const TClassInfo* parent_;
    std::vector<TPropInfo> props_;
};

// Collects the properties of class C; used by UF_CLASS_INFO. Getters and setters are member functions
// of C or of any of its bases.
template <class C>
class TPropRegistrar {
public:
    template <class Get, class Set>
    TPropRegistrar& String(const char* name, Get get, Set set) { return Ansi(name, TTypeKind::tkString, get, set); }
    template <class Get, class Set>
    TPropRegistrar& LString(const char* name, Get get, Set set) { return Ansi(name, TTypeKind::tkLString, get, set); }

    template <class Get, class Set>
    TPropRegistrar& WString(const char* name, Get get, Set set) {
        TPropInfo info(name, TTypeKind::tkWString);
        info.getWide = [get](const TObject& o) { return WideString(std::invoke(get, Self(o))); };
        info.setWide = [set](TObject& o, const WideString& v) { std::invoke(set, Self(o), v); };
        props_.push_back(std::move(info));
        return *this;
    }

    // Character properties are listed but carry no text (see TPropInfo).
    TPropRegistrar& Char(const char* name) { props_.emplace_back(name, TTypeKind::tkChar); return *this; }
    TPropRegistrar& WChar(const char* name) { props_.emplace_back(name, TTypeKind::tkWChar); return *this; }

    template <class Get>
    TPropRegistrar& Object(const char* name, Get get) {
        TPropInfo info(name, TTypeKind::tkClass);
        info.getObject = [get](const TObject& o) -> TObject* { return std::invoke(get, Self(o)); };
        props_.push_back(std::move(info));
        return *this;
    }

    static std::vector<TPropInfo> Collect(void (*registerProps)(TPropRegistrar&)) {
        TPropRegistrar r;
        registerProps(r);
        return std::move(r.props_);
    }

private:
    template <class Get, class Set>
    TPropRegistrar& Ansi(const char* name, TTypeKind kind, Get get, Set set) {
        TPropInfo info(name, kind);
        info.getAnsi = [get](const TObject& o) { return AnsiString(std::invoke(get, Self(o))); };
        info.setAnsi = [set](TObject& o, const AnsiString& v) { std::invoke(set, Self(o), v); };
        props_.push_back(std::move(info));
        return *this;
    }
    // Objects reach the accessors only through their own class's property table, so the cast is exact.
    static const C& Self(const TObject& o) { return static_cast<const C&>(o); }
    static C& Self(TObject& o) { return static_cast<C&>(o); }

    std::vector<TPropInfo> props_;
};

// Inside a class body: the class's own property table.
#define UF_DECLARE_CLASS(Class)                                                        \
public:                                                                                \
    static const ::toolkit::TClassInfo& StaticClassInfo();                             \
    const ::toolkit::TClassInfo& ClassInfo() const override { return StaticClassInfo(); } \
                                                                                       \
private:                                                                               \
    static void RegisterProperties(::toolkit::TPropRegistrar<Class>& r);               \
                                                                                       \
public:

// In the class's .cpp, followed by a block that registers the properties through `r`.
#define UF_CLASS_INFO(Class, ParentClass)                                                              \
    const ::toolkit::TClassInfo& Class::StaticClassInfo() {                                           \
        static const ::toolkit::TClassInfo info(#Class, &ParentClass::StaticClassInfo(),              \
            ::toolkit::TPropRegistrar<Class>::Collect(&Class::RegisterProperties));                   \
        return info;                                                                                  \
    }                                                                                                 \
    void Class::RegisterProperties([[maybe_unused]] ::toolkit::TPropRegistrar<Class>& r)

// The root of every class with published properties.
class TObject {
public:
    virtual ~TObject() = default;
    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    const char* ClassName() const { return ClassInfo().ClassName(); }

protected:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
};

class TPersistent : public TObject {
    UF_DECLARE_CLASS(TPersistent)
};

// A list of texts: 8-bit lines (TStrings) or wide UTF-16 items (TWideStrings). Indexes outside
// 0..Count()-1 raise EListError. OnChange runs after every change.
template <class Text>
class TStringList : public TPersistent {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const Text& Get(int index) const {
        CheckIndex(index, false);
        return items_[static_cast<std::size_t>(index)];
    }
    void Put(int index, const Text& item) {  // replace item `index`
        CheckIndex(index, false);
        items_[static_cast<std::size_t>(index)] = item;
        Changed();
    }
    int Add(const Text& item) {  // returns the new item's index
        items_.push_back(item);
        Changed();
        return Count() - 1;
    }
    void Insert(int index, const Text& item) {
        CheckIndex(index, true);
        items_.insert(items_.begin() + index, item);
        Changed();
    }
    void Delete(int index) {
        CheckIndex(index, false);
        items_.erase(items_.begin() + index);
        Changed();
    }
    void Clear() {
        if (items_.empty()) return;
        items_.clear();
        Changed();
    }
    int IndexOf(std::basic_string_view<typename Text::value_type> item) const {  // -1 when absent; exact
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == item) return static_cast<int>(i);
        return -1;
    }
    const std::vector<Text>& Items() const { return items_; }

    std::function<void()> OnChange;

protected:
    TStringList() = default;

private:
    // Insert may name the end of the list; the other operations only an existing item.
    void CheckIndex(int index, bool allowEnd) const {
        if (index >= 0 && (index < Count() || (allowEnd && index == Count()))) return;
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    void Changed() {
        if (OnChange) OnChange();
    }
    std::vector<Text> items_;
};

class TStrings : public TStringList<AnsiString> {
    UF_DECLARE_CLASS(TStrings)
public:
    TStrings() = default;
};

class TWideStrings : public TStringList<WideString> {
    UF_DECLARE_CLASS(TWideStrings)
public:
    TWideStrings() = default;
};

// A component has a name and an owner; it owns the components created with it as owner, in creation
// order, and destroys them (last created first) when it is destroyed. Published: Name (long string).
class TComponent : public TPersistent {
    UF_DECLARE_CLASS(TComponent)
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const AnsiString& GetName() const { return name_; }
    // An identifier (letter or "_", then letters, digits, "_") or empty, unique among the owner's
    // components without regard to case; otherwise EComponentError.
    void SetName(const AnsiString& name);

    TComponent* GetOwner() const { return owner_; }
    int GetComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* GetComponent(int index) const;  // EListError outside the range
    TComponent* FindComponent(std::string_view name) const;  // by name without regard to case; or null

protected:
    // Destroys the owned components, last created first. Derived destructors call it before their own
    // members go away, so that owned components never see a half-destroyed owner.
    void DestroyComponents();

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);

    AnsiString name_;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
};

}  // namespace toolkit
