#include "app/TxRegistry.h"

bool TxRegistry::OpenKey(const AnsiString& key, bool canCreate) {
    return key_.Open(key, canCreate) == platform::kRegSuccess;
}

void TxRegistry::CloseKey() { key_.Close(); }

AnsiString TxRegistry::ReadString(const AnsiString& name) const {
    if (!key_.Valid()) return {};
    AnsiString text;
    const long status = key_.ReadString(name, text);
    if (status == platform::kRegWrongType) throw ERegistryException("Invalid data type for '" + name + "'");
    // A value that cannot be read for any other reason counts as missing, like an unreadable key.
    return status == platform::kRegSuccess ? text : AnsiString();
}

AnsiString TxRegistry::ReadStringDef(const AnsiString& name, const AnsiString& def) const {
    AnsiString text = ReadString(name);
    return text.empty() ? def : text;
}
