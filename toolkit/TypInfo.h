#pragma once
// Published properties by name. Property names are found without regard to ASCII letter case.
#include <string_view>
#include <vector>

#include "toolkit/Classes.h"

namespace toolkit {

using TPropList = std::vector<const TPropInfo*>;

// The published properties of the object's class and its ancestors (string kinds and object kind),
// sorted by name without regard to ASCII case. The entries live as long as the program.
TPropList GetPropList(const TObject& object);

// The property of that name, or null.
const TPropInfo* GetPropInfo(const TObject& object, std::string_view name);

// 8-bit text of a string property. Wide properties are converted through the ANSI code page; character
// kinds read as empty. EPropertyError for an object property or an unknown name.
AnsiString GetStrProp(const TObject& object, const TPropInfo& prop);
AnsiString GetStrProp(const TObject& object, std::string_view name);

// Sets a string property from 8-bit text (converted to wide for wide properties); character kinds ignore
// the write. EPropertyError for an object property, a read-only property or an unknown name. Errors
// raised by the property's setter pass through.
void SetStrProp(TObject& object, const TPropInfo& prop, const AnsiString& value);
void SetStrProp(TObject& object, std::string_view name, const AnsiString& value);

// Wide access without the code-page round trip (8-bit properties are converted the other way).
WideString GetWideStrProp(const TObject& object, const TPropInfo& prop);
void SetWideStrProp(TObject& object, const TPropInfo& prop, const WideString& value);

// The object held by an object property (may be null). Tell the lists apart with dynamic_cast to
// TStrings / TWideStrings. EPropertyError for other kinds or an unknown name.
TObject* GetOrdProp(const TObject& object, const TPropInfo& prop);
TObject* GetOrdProp(const TObject& object, std::string_view name);

// The kinds that carry text by name (8-bit and wide strings, not characters).
inline bool IsTextKind(TTypeKind kind) {
    return kind == TTypeKind::tkString || kind == TTypeKind::tkLString || kind == TTypeKind::tkWString;
}

}  // namespace toolkit
