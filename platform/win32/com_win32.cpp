// The error records are OLE Automation's (oleaut32), loaded at the first call: the program needs them
// only when an interface operation fails, and its window should not wait for OLE at every start. Were
// the library missing, an error would travel without its description, as when a record cannot be made.
#include "platform/com.h"

#include <oleauto.h>

#include <cstdio>

#include "platform/shared_library.h"
#include "platform/win32/system_message.h"

namespace platform {
namespace {

constexpr char kOleAutomation[] = "oleaut32.dll";

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** record) {
    static const auto create = SystemFunction<decltype(&::CreateErrorInfo)>(kOleAutomation, "CreateErrorInfo");
    if (!record) return E_INVALIDARG;
    *record = nullptr;
    return create ? create(record) : E_NOTIMPL;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* record) {
    static const auto set = SystemFunction<decltype(&::SetErrorInfo)>(kOleAutomation, "SetErrorInfo");
    return set ? set(reserved, record) : E_NOTIMPL;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** record) {
    static const auto get = SystemFunction<decltype(&::GetErrorInfo)>(kOleAutomation, "GetErrorInfo");
    if (!record) return E_INVALIDARG;
    *record = nullptr;
    return get ? get(reserved, record) : S_FALSE;
}

WideString ErrorDescription(IErrorInfo& record) {
    // The system's record hands out the system's BSTR, which only the system's SysFreeString may free.
    static const auto freeString = SystemFunction<decltype(&::SysFreeString)>(kOleAutomation, "SysFreeString");
    BSTR description = nullptr;
    if (FAILED(record.GetDescription(&description)) || !description) return {};
    WideString text = BStrToWide(description);
    if (freeString) freeString(description);
    return text;
}

AnsiString StatusText(HRESULT status) {
    AnsiString text = win32::SystemMessage(DWORD(status));
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (text.empty()) {
        char fallback[64];
        std::snprintf(fallback, sizeof fallback, "Error 0x%08X", static_cast<unsigned>(status));
        text = fallback;
    }
    return text;
}

}  // namespace platform
