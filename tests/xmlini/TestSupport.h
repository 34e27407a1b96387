#pragma once
// Shared by the store's tests: the XML tests' helpers, the error text of a failed call, and a reader of
// a call's result.
#include <string>
#include <type_traits>

#include "../xml/support.h"
#include "xmlini/InterfacedObject.h"

using xmltest::ReadFile;
using xmltest::WriteFile;

// The message a failed call raises in its caller, "" when the call succeeded.
std::string Failure(HRESULT status);
// The message of the Exception f raises, "no error" when it raises none.
template <class F>
std::string Thrown(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

// Calls a method whose last parameter is its result and returns that result: the text of a BSTR, a
// counted reference for an interface, the value itself otherwise. A failed call raises.
template <class I, class... P, class... A>
auto Out(const TInterfacePtr<I>& object, HRESULT (STDMETHODCALLTYPE I::*method)(P...), A... args) {
    using R = std::remove_pointer_t<std::tuple_element_t<sizeof...(P) - 1, std::tuple<P...>>>;
    using Target = std::remove_pointer_t<R>;
    if constexpr (std::is_same_v<R, BSTR>) {
        TBStr text;
        CheckAutoResult((object.Get()->*method)(args..., text.Receive()));
        return text.Value();
    } else if constexpr (std::is_class_v<Target> && std::is_base_of_v<IUnknown, Target>) {
        TInterfacePtr<Target> result;
        CheckAutoResult((object.Get()->*method)(args..., result.Receive()));
        return result;
    } else {
        R result{};
        CheckAutoResult((object.Get()->*method)(args..., &result));
        return result;
    }
}

// The text of a file the store writes, lines joined by CR LF as the writer makes them.
std::string XmlFileText(std::initializer_list<const char*> elementLines);
