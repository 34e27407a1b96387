#pragma once
// The registry as the dialog reads it: one key under HKEY_CURRENT_USER, string values.
#include "platform/Exception.h"
#include "platform/codepage.h"
#include "platform/registry.h"

// A registry value that cannot be read as asked (a value of another type than requested).
class ERegistryException : public Exception { using Exception::Exception; };

class TxRegistry {
public:
    // Opens the key (relative to HKEY_CURRENT_USER), closing one opened before. Without canCreate a
    // missing key answers false; any other failure to open answers false as well.
    bool OpenKey(const AnsiString& key, bool canCreate);
    void CloseKey();
    bool HasCurrentKey() const { return key_.Valid(); }

    // A string value (an expandable one as stored, unexpanded). A missing value, or no open key, reads as
    // "". A value of another type raises ERegistryException "Invalid data type for 'Name'".
    AnsiString ReadString(const AnsiString& name) const;
    // ReadString, with def standing in for a missing or empty value.
    AnsiString ReadStringDef(const AnsiString& name, const AnsiString& def) const;

private:
    platform::RegistryKey key_;
};
