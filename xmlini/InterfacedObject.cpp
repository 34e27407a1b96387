#include "xmlini/InterfacedObject.h"

#include "platform/message_box.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <typeinfo>

namespace {

// Set once the process-wide list is gone: objects released during the last stages of shutdown must not
// touch it. Constant-initialised, so it is valid at any time.
std::atomic<bool> liveObjectsGone{false};

void ShowLeakBox(const AnsiString& caption, const AnsiString& text) { platform::ShowMessageBox(caption, text); }

std::atomic<TLeakReportHandler> leakHandler{&ShowLeakBox};

// The list exists from start-up on, before any interface object can.
[[maybe_unused]] TxInterfacedObjectList& startUpList = LiveObjects();

}  // namespace

TxInterfacedObjectList::~TxInterfacedObjectList() {
    if (isRegistry_) liveObjectsGone = true;
    try {
        LeakReport(*this);
    } catch (...) {
        ReportSwallowedError("reporting live interface objects", std::current_exception());
    }
}

TxInterfacedObject* TxInterfacedObjectList::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[size_t(index)];
}

int TxInterfacedObjectList::IndexOf(const TxInterfacedObject* object) const noexcept {
    auto it = std::find(items_.begin(), items_.end(), object);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

void TxInterfacedObjectList::Add(TxInterfacedObject* object) { items_.push_back(object); }

void TxInterfacedObjectList::Remove(const TxInterfacedObject* object) noexcept {
    auto it = std::find(items_.begin(), items_.end(), object);
    if (it != items_.end()) items_.erase(it);
}

TxInterfacedObjectList& LiveObjects() {
    static TxInterfacedObjectList list;
    list.isRegistry_ = true;
    return list;
}

AnsiString LeakReportText(const TxInterfacedObjectList& list) {
    if (list.Count() == 0) return {};
    AnsiString text = "\r\n";
    for (int i = 0; i <= std::min(8, list.Count() - 1); ++i) text += list.Items(i)->ClassName() + "\r\n";
    return text;
}

void LeakReport(const TxInterfacedObjectList& list) {
    if (list.Count() == 0) return;
    leakHandler.load()("Warning!", LeakReportText(list));
}

TLeakReportHandler SetLeakReportHandler(TLeakReportHandler handler) {
    return leakHandler.exchange(handler ? handler : &ShowLeakBox);
}

void ReportSwallowedError(const char* where, const std::exception_ptr& error) noexcept {
    const char* message = "an error outside the general exception class";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
    }
    std::fprintf(stderr, "Error while %s: %s\n", where, message);
}

HRESULT RecordSafeCallError(const std::exception_ptr& error) noexcept {
    HRESULT status = E_UNEXPECTED;
    ICreateErrorInfo* record = nullptr;
    if (FAILED(platform::CreateErrorInfo(&record)) || !record) {
        // A record left from an earlier failure must not be taken for this one's.
        platform::SetErrorInfo(0, nullptr);
        return status;
    }
    record->SetGUID(IID_IUnknown);
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        try {
            WideString description = platform::AnsiToWide(e.Message());
            record->SetDescription(reinterpret_cast<LPOLESTR>(description.data()));
        } catch (...) {
            // No memory for the text: the status still goes out, without a description.
        }
        record->SetHelpContext(DWORD(e.HelpContext()));
        if (auto* sysError = dynamic_cast<const EOleSysError*>(&e)) {
            long code = sysError->ErrorCode();
            if (code < 0 && code >= INT32_MIN) status = HRESULT(code);
        }
    } catch (...) {
    }
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(record->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
        platform::SetErrorInfo(0, info);
        info->Release();
    } else {
        platform::SetErrorInfo(0, nullptr);
    }
    record->Release();
    return status;
}

void RaiseStatus(HRESULT status) {
    AnsiString message;
    IErrorInfo* info = nullptr;
    if (platform::GetErrorInfo(0, &info) == S_OK && info) {
        message = platform::WideToAnsi(platform::ErrorDescription(*info));
        info->Release();
    }
    if (message.empty()) message = platform::StatusText(status);
    throw EOleSysError(message, long(status));
}

HRESULT TxInterfacedObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* found = FindInterface(iid);
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    *object = found;
    return S_OK;
}

ULONG TxInterfacedObject::AddRef() {
    // The test and the insertion are not one atomic step: objects live on one thread.
    if (refCount_.load() == 0 && !liveObjectsGone) LiveObjects().Add(this);
    return ULONG(refCount_.fetch_add(1) + 1);
}

ULONG TxInterfacedObject::Release() {
    std::int32_t left = refCount_.fetch_sub(1) - 1;
    if (left == 0) {
        if (!liveObjectsGone) LiveObjects().Remove(this);
        Destroy();
    }
    return ULONG(left);
}

HRESULT TxInterfacedObject::InterfaceSupportsErrorInfo(REFIID iid) { return FindInterface(iid) ? S_OK : S_FALSE; }

HRESULT TxInterfacedObject::SafeCallException(const std::exception_ptr& error) noexcept {
    return RecordSafeCallError(error);
}

AnsiString TxInterfacedObject::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    AnsiString name = (status == 0 && demangled) ? AnsiString(demangled.get()) : AnsiString(mangled);
    if (name.find('<') == AnsiString::npos) {
        size_t scope = name.rfind("::");
        if (scope != AnsiString::npos) name.erase(0, scope + 2);
    }
    return name;
}

void TxInterfacedObject::Free() {
    if (refCount_.load() != 0) throw Exception("TxInterfacedObject Invalid Pointer");
    Destroy();
}

void TxInterfacedObject::Destroy() {
    try {
        ReleaseOwned();
    } catch (...) {
        delete this;
        throw;
    }
    delete this;
}

IUnknown* TxInterfacedObject::FindInterface(REFIID iid) {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void CheckOutSlot(const void* slot) {
    if (!slot) throw Exception("Invalid pointer: an out-parameter is missing");
}

void SetOutText(BSTR* out, std::u16string_view text) {
    CheckOutSlot(out);
    *out = platform::WideToBStr(text);
    if (!*out) throw std::bad_alloc();
}
