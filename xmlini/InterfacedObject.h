#pragma once
// Reference-counted interface objects in the manner of COM, and the status-return convention that carries
// errors across their interfaces.
//
// Callee side: every interface operation after QueryInterface/AddRef/Release returns an HRESULT and hands
// its result through a last out-parameter. Its body runs inside SafeCall, which turns any exception into
// a failure status (0x8000FFFF, or the negative code of an EOleSysError) and records the exception's
// message as the thread's error information (platform::CreateErrorInfo/SetErrorInfo).
//
// Caller side: CheckAutoResult turns a negative status back into an exception (EOleSysError) whose message
// is the recorded description and whose error code is the status. TInterfacePtr holds interface references
// so that no caller counts by hand.
//
// Lifetime: an object is made with TxInterfacedObject::Create and starts unreferenced (RefCount 0, not in
// LiveObjects). The first AddRef enters it in LiveObjects; the Release that brings the count to 0 takes it
// out and destroys it. An object that was never referenced is destroyed by its creator with Free.
#include "platform/Exception.h"
#include "platform/codepage.h"
#include "platform/com.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>
#include <vector>

// The identifier of an interface type: the system's for the system interfaces, the type's Iid member for
// the interfaces of this program.
template <class I>
inline const IID& IidOf() { return I::Iid; }
template <> inline const IID& IidOf<IUnknown>() { return IID_IUnknown; }
template <> inline const IID& IidOf<ISupportErrorInfo>() { return IID_ISupportErrorInfo; }
template <> inline const IID& IidOf<IErrorInfo>() { return IID_IErrorInfo; }
template <> inline const IID& IidOf<ICreateErrorInfo>() { return IID_ICreateErrorInfo; }

class TxInterfacedObject;

// An ordered list of interface objects, not owning them. Destroying a non-empty list runs LeakReport.
class TxInterfacedObjectList {
public:
    TxInterfacedObjectList() = default;
    TxInterfacedObjectList(const TxInterfacedObjectList&) = delete;
    TxInterfacedObjectList& operator=(const TxInterfacedObjectList&) = delete;
    ~TxInterfacedObjectList();

    int Count() const noexcept { return int(items_.size()); }
    // Raises EListError for an index outside 0 to Count - 1.
    TxInterfacedObject* Items(int index) const;
    int IndexOf(const TxInterfacedObject* object) const noexcept;
    void Add(TxInterfacedObject* object);
    // Takes the first entry of the object out and closes the gap; nothing when it is not listed.
    void Remove(const TxInterfacedObject* object) noexcept;

private:
    friend TxInterfacedObjectList& LiveObjects();
    bool isRegistry_ = false;
    std::vector<TxInterfacedObject*> items_;
};

// The process-wide list of referenced interface objects, in the order they were first referenced.
TxInterfacedObjectList& LiveObjects();

// The body of the shutdown warning: CR LF, then the class names of the first nine entries, each followed
// by CR LF. Empty for an empty list.
AnsiString LeakReportText(const TxInterfacedObjectList& list);

// Shows the shutdown warning for a non-empty list through the current handler (caption "Warning!").
void LeakReport(const TxInterfacedObjectList& list);

// Where the shutdown warning goes; the default is a message box with an OK button (standard error on
// Linux). Returns the previous handler. Test programs install one that does not wait for a user.
using TLeakReportHandler = void (*)(const AnsiString& caption, const AnsiString& text);
TLeakReportHandler SetLeakReportHandler(TLeakReportHandler handler);

// Records the exception as the calling thread's error information and answers the status to return:
// 0x8000FFFF, or the code of an EOleSysError when that code is negative. Only an exception derived from
// Exception gives a description (its message) and a help context. Never raises.
HRESULT RecordSafeCallError(const std::exception_ptr& error) noexcept;

// Raises EOleSysError for a negative status, with the thread's recorded description (taken and cleared)
// as its message, or the system's text for the status when none was recorded.
[[noreturn]] void RaiseStatus(HRESULT status);
inline void CheckAutoResult(HRESULT status) {
    if (status < 0) RaiseStatus(status);
}

class TxInterfacedObject : public ISupportErrorInfo {
public:
    TxInterfacedObject(const TxInterfacedObject&) = delete;
    TxInterfacedObject& operator=(const TxInterfacedObject&) = delete;

    // Makes an object: RefCount is 1 while the constructor runs, so that it may take and drop references
    // to itself, and 0 once it has completed.
    template <class T, class... Args>
    static T* Create(Args&&... args) {
        T* object = new T(std::forward<Args>(args)...);
        object->AfterConstruction();
        return object;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // The last Release takes the object out of LiveObjects and destroys it; an error of the destruction
    // (see ReleaseOwned) leaves through here after the object's memory is freed.
    ULONG STDMETHODCALLTYPE Release() override;
    // S_OK for every interface the object implements, S_FALSE for any other.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // The status for an exception caught inside an operation (RecordSafeCallError).
    virtual HRESULT SafeCallException(const std::exception_ptr& error) noexcept;

    std::int32_t RefCount() const noexcept { return refCount_.load(); }
    // The name of the object's class, for example "TXMLIni".
    AnsiString ClassName() const;

    // Destroys an object that no interface references; with references left it raises
    // "TxInterfacedObject Invalid Pointer" and the object stays alive.
    void Free();

protected:
    TxInterfacedObject() = default;
    virtual ~TxInterfacedObject() = default;

    // The interface of this object with that identifier, or none. Each class that adds interfaces
    // answers for them and asks its ancestor for the rest (TxImplements does this).
    virtual IUnknown* FindInterface(REFIID iid);

    // Frees what the object owns before its memory goes. It may raise (a tree whose trace line cannot be
    // written); destructors proper never do. Overrides call their ancestor's last.
    virtual void ReleaseOwned() {}

    // Runs an operation's body under the status-return convention.
    template <class Body>
    HRESULT SafeCall(Body&& body) noexcept {
        try {
            body();
            return S_OK;
        } catch (...) {
            return SafeCallException(std::current_exception());
        }
    }

private:
    void AfterConstruction() noexcept { refCount_.fetch_sub(1); }
    void Destroy();

    std::atomic<std::int32_t> refCount_{1};
};

// Adds interfaces to a class: lookup by their identifiers, and their IUnknown slots served by the base.
template <class Base, class... Interfaces>
class TxImplements : public Base, public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return Base::QueryInterface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }

protected:
    using Base::Base;

    IUnknown* FindInterface(REFIID iid) override {
        IUnknown* found = nullptr;
        ((found = found ? found : (IsEqualGUID(iid, IidOf<Interfaces>()) ? static_cast<Interfaces*>(this) : nullptr)), ...);
        return found ? found : Base::FindInterface(iid);
    }
};

// Writes a report of an error that a destructor had to swallow (standard error).
void ReportSwallowedError(const char* where, const std::exception_ptr& error) noexcept;

// One counted reference to an interface. Copying adds a reference, destruction drops it. Destruction
// cannot pass on an error of the object's release, so it reports it; Reset lets it through.
template <class I>
class TInterfacePtr {
public:
    TInterfacePtr() noexcept = default;
    TInterfacePtr(std::nullptr_t) noexcept {}
    TInterfacePtr(I* pointer) : pointer_(pointer) {
        if (pointer_) pointer_->AddRef();
    }
    TInterfacePtr(const TInterfacePtr& other) : TInterfacePtr(other.pointer_) {}
    TInterfacePtr(TInterfacePtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ~TInterfacePtr() {
        if (!pointer_) return;
        try {
            std::exchange(pointer_, nullptr)->Release();
        } catch (...) {
            ReportSwallowedError("releasing an interface", std::current_exception());
        }
    }
    TInterfacePtr& operator=(TInterfacePtr other) {
        I* old = std::exchange(pointer_, std::exchange(other.pointer_, nullptr));
        if (old) old->Release();
        return *this;
    }

    // Drops the reference; an error of the object's destruction is raised here.
    void Reset() {
        if (I* old = std::exchange(pointer_, nullptr)) old->Release();
    }
    // For an out-parameter: drops the current reference and lends the slot.
    I** Receive() {
        Reset();
        return &pointer_;
    }
    // Takes over a reference that was already counted for the caller.
    void Attach(I* pointer) {
        Reset();
        pointer_ = pointer;
    }
    I* Detach() noexcept { return std::exchange(pointer_, nullptr); }

    I* Get() const noexcept { return pointer_; }
    I* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // Another interface of the same object, empty when the object does not implement it.
    template <class J>
    TInterfacePtr<J> Query() const {
        TInterfacePtr<J> result;
        if (pointer_) pointer_->QueryInterface(IidOf<J>(), reinterpret_cast<void**>(result.Receive()));
        return result;
    }

private:
    I* pointer_ = nullptr;
};

// An owned BSTR for the caller side of a text out-parameter.
class TBStr {
public:
    TBStr() noexcept = default;
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;
    ~TBStr() { platform::FreeBStr(text_); }

    BSTR* Receive() noexcept {
        platform::FreeBStr(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR Get() const noexcept { return text_; }
    WideString Value() const { return platform::BStrToWide(text_); }
    AnsiString Ansi() const { return platform::WideToAnsi(Value()); }

private:
    BSTR text_ = nullptr;
};

// Callee-side helpers for the parameters of the convention.

// An in-text: none reads as the empty text.
inline WideString InText(const char16_t* text) { return text ? WideString(text) : WideString(); }
inline AnsiString InAnsi(const char16_t* text) { return text ? platform::WideToAnsi(text) : AnsiString(); }

// Raises for an out-parameter slot that is none.
void CheckOutSlot(const void* slot);

// Stores a new BSTR for the caller; raises when memory runs out.
void SetOutText(BSTR* out, std::u16string_view text);
inline void SetOutAnsi(BSTR* out, std::string_view text) { SetOutText(out, platform::AnsiToWide(text)); }

// Clears the slot of an out-parameter on entry, as the convention requires; raises when it is none.
template <class T>
inline void ClearOut(T* slot) {
    CheckOutSlot(slot);
    *slot = T{};
}
