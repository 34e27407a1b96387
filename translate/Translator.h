#pragma once
// The form translator: applies one section of a language file to a form and to every component the form
// owns, by component and property name, with a shared dictionary for components the file does not name.
//
// Language file (already loaded into a tree; its elements hang below the top node "Root"):
//
//   <Section Name="Uninstall">                         one per form set; any number at top level
//     <Form Name="UninstallMainForm" Caption="...">    attributes set the form's 8-bit string properties
//       <Control Name="lbQuestion" Caption="..." />    attributes set the component's text properties
//       <Control Name="rgReason">                      child i gives entry i of every list property
//         <Item>first</Item> ...
//       </Control>
//     </Form>
//   </Section>
//   <Common>                                           only the first top-level one counts
//     <Item Name="Question" value="..." />             texts of components without a Control element
//   </Common>
//
// Element names match without regard to ASCII case; Name attributes match hotkey-free ("&" marks removed,
// then ASCII case folded). A Name attribute never renames a component (the form's own Name is set from
// its Form element, the value that matched it).
#include "platform/com.h"
#include "platform/codepage.h"
#include "toolkit/Classes.h"

class TxmlNode;

class TTranslator {
public:
    // Applies the section named sectionName of the tree below root to form and its components. A null
    // root or a missing section changes nothing and succeeds. Returns S_OK, or E_UNEXPECTED when an error
    // was raised on the way (by a property setter, for instance): the walk stops there and the changes
    // already made stay. Nothing is thrown.
    HRESULT Translate(TxmlNode* root, const WideString& sectionName, toolkit::TComponent* form) noexcept;

    // Sets every 8-bit long-string property of the form whose attribute in formNode is not empty, in
    // property-name order. No escapes, no dictionary, no lists.
    void TranslateFormProperties(toolkit::TComponent* form, TxmlNode* formNode);

    // Translates one component: from its Control element in formNode when there is one (text attributes
    // with line-break escapes, list properties from the element's children), otherwise its non-empty text
    // properties through the common dictionary. formNode and common may be null.
    void TranslateComponent(toolkit::TComponent* component, TxmlNode* formNode, TxmlNode* common);

    // "/n " (slash, n, space) and then "\n" (backslash, n) become CR LF; case-sensitive, left to right.
    static AnsiString ExpandLineBreaks(const AnsiString& text);

    // The longest run of "." and ":" at the end of text ("Options..." gives "...").
    static AnsiString TrailingMarks(const AnsiString& text);
};
