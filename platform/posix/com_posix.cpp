// The error-information calls without OLE Automation: each thread keeps its current record itself.
#include "platform/com.h"

#include <atomic>
#include <cstdio>
#include <new>

namespace platform {
namespace {

HRESULT CopyOut(const WideString& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_OK;  // OLE hands out none for a text that was never set
    *out = WideToBStr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

WideString TextOf(LPOLESTR text) {
    if (!text) return {};
    return WideString(text);
}

class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ICreateErrorInfo))
            *object = static_cast<ICreateErrorInfo*>(this);
        else if (IsEqualGUID(iid, IID_IErrorInfo))
            *object = static_cast<IErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --count_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) override { guid_ = guid; return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR source) override { source_ = TextOf(source); return S_OK; }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { description_ = TextOf(text); return S_OK; }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR file) override { helpFile_ = TextOf(file); return S_OK; }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override { helpContext_ = context; return S_OK; }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
        if (!guid) return E_POINTER;
        *guid = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) override { return CopyOut(source_, source); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* text) override { return CopyOut(description_, text); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* file) override { return CopyOut(helpFile_, file); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override {
        if (!context) return E_POINTER;
        *context = helpContext_;
        return S_OK;
    }

private:
    std::atomic<ULONG> count_{1};
    GUID guid_{};
    WideString source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

// The thread's current record; releasing it when the thread ends keeps threads from leaking records.
struct CurrentRecord {
    IErrorInfo* record = nullptr;
    ~CurrentRecord() {
        if (record) record->Release();
    }
};
thread_local CurrentRecord current;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** record) {
    if (!record) return E_INVALIDARG;
    *record = new (std::nothrow) ErrorRecord();
    return *record ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* record) {
    if (reserved != 0) return E_INVALIDARG;
    if (record) record->AddRef();
    IErrorInfo* old = current.record;
    current.record = record;
    if (old) old->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** record) {
    if (reserved != 0 || !record) return E_INVALIDARG;
    *record = current.record;
    current.record = nullptr;
    return *record ? S_OK : S_FALSE;
}

WideString ErrorDescription(IErrorInfo& record) {
    BSTR description = nullptr;
    if (FAILED(record.GetDescription(&description))) return {};
    WideString text = BStrToWide(description);
    FreeBStr(description);
    return text;
}

AnsiString StatusText(HRESULT status) {
    switch (static_cast<std::uint32_t>(status)) {
    case 0x8000FFFFu: return "Catastrophic failure";
    case 0x80004001u: return "Not implemented";
    case 0x80004002u: return "No such interface supported";
    case 0x80004003u: return "Invalid pointer";
    case 0x80004004u: return "Operation aborted";
    case 0x80004005u: return "Unspecified error";
    case 0x8007000Eu: return "Not enough memory resources are available to complete this operation";
    case 0x80070057u: return "The parameter is incorrect";
    default: break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<unsigned>(status));
    return text;
}

}  // namespace platform
