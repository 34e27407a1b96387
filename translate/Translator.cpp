#include "translate/Translator.h"

#include <algorithm>
#include <type_traits>

#include "toolkit/StdCtrls.h"
#include "toolkit/TypInfo.h"
#include "xml/Node.h"
#include "xml/Query.h"
#include "platform/text.h"

using toolkit::TComponent;
using toolkit::TPropInfo;
using toolkit::TTypeKind;

namespace {

// Entries 0 .. n-1 of a list come from the Control element's children, comments included, whatever their
// names; n is the smaller of the two counts, so the list never grows or shrinks.
template <class Text>
void FillList(toolkit::TStringList<Text>& list, TxmlNode* control) {
    const int n = std::min(list.Count(), GetChildCount(control));
    for (int i = 0; i < n; ++i) {
        const AnsiString& value = GetChild(control, i)->Value;
        if constexpr (std::is_same_v<Text, WideString>)
            list.Put(i, platform::AnsiToWide(value));
        else
            list.Put(i, value);
    }
}

void TranslateList(TComponent& component, const TPropInfo& prop, TxmlNode* control) {
    toolkit::TObject* object = toolkit::GetOrdProp(component, prop);
    if (auto* strings = dynamic_cast<toolkit::TStrings*>(object); strings && strings->Count() > 0) {
        FillList(*strings, control);
        return;
    }
    auto* wide = dynamic_cast<toolkit::TWideStrings*>(object);
    if (!wide || wide->Count() == 0) return;
    // A combo box publishes its items twice (Items and Lines); Lines only makes the edit part show the
    // selected item's text again, now translated by Items.
    if (platform::AsciiSameText(prop.Name(), "Lines")) {
        if (auto* combo = dynamic_cast<toolkit::TCustomComboBox*>(&component)) {
            combo->SetItemIndex(combo->GetItemIndex());
            return;
        }
    }
    FillList(*wide, control);
}

void TranslateByCommon(TComponent& component, const TPropInfo& prop, TxmlNode* common) {
    const AnsiString text = toolkit::GetStrProp(component, prop);
    if (text.empty()) return;
    const AnsiString tail = TTranslator::TrailingMarks(text);
    const AnsiString base = text.substr(0, text.size() - tail.size());
    if (TxmlNode* item = FindChildByAttribute(common, "Item", "Name", base))
        toolkit::SetStrProp(component, prop, GetAttribute(item, "value") + tail);
}

}  // namespace

HRESULT TTranslator::Translate(TxmlNode* root, const WideString& sectionName, TComponent* form) noexcept {
    if (!root) return S_OK;
    if (!form) return E_POINTER;
    try {
        TxmlNode* section = FindChildByAttribute(root, "Section", "Name", platform::WideToAnsi(sectionName));
        if (!section) return S_OK;
        TxmlNode* formNode = FindChildByAttribute(section, "Form", "Name", form->GetName());
        // The dictionary is shared by every section, so it lives at top level only.
        TxmlNode* common = FindChild(root, "Common");
        if (formNode) TranslateFormProperties(form, formNode);
        for (int i = 0; i < form->GetComponentCount(); ++i)
            TranslateComponent(form->GetComponent(i), formNode, common);
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void TTranslator::TranslateFormProperties(TComponent* form, TxmlNode* formNode) {
    for (const TPropInfo* prop : toolkit::GetPropList(*form)) {
        if (prop->Kind() != TTypeKind::tkLString) continue;
        const AnsiString value = GetAttribute(formNode, prop->Name());
        if (!value.empty()) toolkit::SetStrProp(*form, *prop, value);
    }
}

void TTranslator::TranslateComponent(TComponent* component, TxmlNode* formNode, TxmlNode* common) {
    TxmlNode* control =
        formNode ? FindChildByAttribute(formNode, "Control", "Name", component->GetName()) : nullptr;
    for (const TPropInfo* prop : toolkit::GetPropList(*component)) {
        if (platform::AsciiSameText(prop->Name(), "Name")) continue;
        if (prop->Kind() == TTypeKind::tkClass) {
            if (control) TranslateList(*component, *prop, control);
        } else if (toolkit::IsTextKind(prop->Kind())) {
            if (control) {
                const AnsiString value = GetAttribute(control, prop->Name());
                if (!value.empty()) toolkit::SetStrProp(*component, *prop, ExpandLineBreaks(value));
            } else if (common) {
                TranslateByCommon(*component, *prop, common);
            }
        }
    }
}

AnsiString TTranslator::ExpandLineBreaks(const AnsiString& text) {
    return platform::ReplaceAll(platform::ReplaceAll(text, "/n ", "\r\n"), "\\n", "\r\n");
}

AnsiString TTranslator::TrailingMarks(const AnsiString& text) {
    const std::size_t keep = text.find_last_not_of(".:");
    return keep == AnsiString::npos ? text : text.substr(keep + 1);
}
