#pragma once
// Interface plumbing: IUnknown, HRESULT, interface identifiers, the error-information calls
// (CreateErrorInfo, SetErrorInfo, GetErrorInfo) and BSTR text. Windows uses the real COM declarations and
// OLE Automation's error records, loaded at the first error rather than with the program; Linux gets the
// same declarations here, with the error information kept in a record per thread, so that the interface
// objects are written once for both targets.
#include "platform/codepage.h"

#include <cstdint>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>
#else

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Length-prefixed UTF-16 text owned by whoever receives it (see WideToBStr below).
using BSTR = OLECHAR*;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }

#define STDMETHODCALLTYPE
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) = 0;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR source) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR description) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD helpContext) = 0;
};

#endif

namespace platform {

// The texts this program's interfaces hand out are BSTRs in the system's layout (a 32-bit byte count,
// then the UTF-16 characters and a zero) that the program allocates itself on every target, so that
// reading a setting needs no OLE library. They are freed with FreeBStr, never with the system's
// SysFreeString; the one BSTR the system hands out, an error record's description, stays inside
// ErrorDescription.

// A new BSTR holding the text, owned by the receiver; null when memory runs out.
BSTR WideToBStr(std::u16string_view text);
void FreeBStr(BSTR text);
// A BSTR's text; a null BSTR is the empty text.
WideString BStrToWide(BSTR text);

// A new, empty error record with one reference for the caller.
HRESULT CreateErrorInfo(ICreateErrorInfo** record);
// Installs the record (or none) as the calling thread's current error information; reserved must be 0.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* record);
// Hands the calling thread's current record to the caller and clears it: S_OK with the record, S_FALSE
// with none when there is no record.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** record);
// The record's description; empty when it has none.
WideString ErrorDescription(IErrorInfo& record);

// The system's description of a status code, as ANSI text without a trailing line break; a generic text
// naming the code in hexadecimal when the system has none.
AnsiString StatusText(HRESULT status);

}  // namespace platform
