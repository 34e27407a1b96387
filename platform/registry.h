#pragma once
// Keys and values under HKEY_CURRENT_USER. Errors are returned as Win32 error codes (0 = success) on both
// targets, so callers decide what to raise.
//
// Windows: the Reg*A functions; names and string values are in the ANSI code page.
// Linux: a text file in .reg syntax ("Windows Registry Editor Version 5.00", [HKEY_CURRENT_USER\...]
// sections, "name"="text" with \\ and \" escapes, @ for the default value, hex:, hex(n):, dword:, lines
// continued with a trailing "\"). The file is UNINSTALL_REGISTRY, by default
// $XDG_CONFIG_HOME/uninstall-feedback/registry.reg (XDG_CONFIG_HOME defaults to ~/.config). A missing file
// is an empty registry. The file is UTF-8 (a file saved by regedit as UTF-16LE with a byte-order mark is
// read too and written back in UTF-16LE); names and string values are converted to and from the ANSI code
// page at this interface, so a file written by hand in an editor works. hex(2) data is UTF-16LE with a
// terminating zero, as regedit writes it; a "REGEDIT4" file is ANSI throughout, hex(2) data included.
// A string with a line break or a zero character is written as hex(1); a key path or value name with a
// line break (CR or LF) is refused with kRegInvalidParameter. Key and value names compare
// without regard to letter case, as on Windows. The file is read whenever a key is opened or a value is
// read; creating a key, writing or deleting a value or a key rewrites the whole file atomically
// (ReplaceFileContent), keeping comments, lines it does not understand and, in a UTF-16 file, every code
// unit of the other lines (lone surrogates and an odd last byte included); an advisory lock on
// the file's folder serialises writers. When a value is defined twice, the later definition counts.
#include "platform/codepage.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

// Error codes (the Win32 values).
inline constexpr long kRegSuccess = 0;
inline constexpr long kRegNotFound = 2;          // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr long kRegAccessDenied = 5;      // ERROR_ACCESS_DENIED
inline constexpr long kRegInvalidHandle = 6;     // ERROR_INVALID_HANDLE: the key is not open
inline constexpr long kRegInvalidParameter = 87; // ERROR_INVALID_PARAMETER: an empty key name part, a line break in a name (Linux)
inline constexpr long kRegCorrupt = 1009;        // ERROR_BADDB: the registry file cannot be read
inline constexpr long kRegCannotWrite = 1013;    // ERROR_CANTWRITE: the registry file cannot be written
inline constexpr long kRegKeyDeleted = 1018;     // ERROR_KEY_DELETED: the open key was deleted meanwhile
inline constexpr long kRegWrongType = 1630;      // ERROR_UNSUPPORTED_TYPE: the value has another type

// Value types (the Win32 REG_* values).
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// An English description of one of the codes above (or the system's message on Windows).
AnsiString RegistryErrorText(long code);

// One open key under HKEY_CURRENT_USER. Closed by the destructor; movable, not copyable.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key at path, relative to HKEY_CURRENT_USER ("Software\\Quarnel\\Velmora3\\"; leading and
    // trailing backslashes are ignored, "" is HKEY_CURRENT_USER itself). With create, a missing key and its
    // missing parents are created; without, a missing key gives kRegNotFound. Closes a key opened before.
    long Open(std::string_view path, bool create);
    bool Valid() const;
    void Close();

    // kRegNotFound for a missing value; "" names the default value.
    long GetValueType(std::string_view name, uint32_t& type) const;
    bool HasValue(std::string_view name) const;

    // A string value: REG_SZ, or REG_EXPAND_SZ as stored (unexpanded); the text ends at its first zero
    // character. Another type gives kRegWrongType and leaves text unchanged.
    long ReadString(std::string_view name, AnsiString& text) const;
    // A REG_BINARY value, whatever its size (callers check it); another type gives kRegWrongType.
    long ReadBinary(std::string_view name, std::vector<uint8_t>& bytes) const;
    // A REG_DWORD value; another type gives kRegWrongType.
    long ReadDword(std::string_view name, uint32_t& value) const;

    // Creates or replaces a value (REG_SZ, or REG_EXPAND_SZ when expandable).
    long WriteString(std::string_view name, std::string_view text, bool expandable = false);
    long WriteBinary(std::string_view name, const std::vector<uint8_t>& bytes);
    long WriteDword(std::string_view name, uint32_t value);
    long DeleteValue(std::string_view name);

    // Deletes the key at path (relative to HKEY_CURRENT_USER) with all its sub-keys and values;
    // kRegNotFound when it does not exist. Keys held open elsewhere see kRegKeyDeleted afterwards on Linux.
    static long DeleteKey(std::string_view path);

private:
#ifdef _WIN32
    void* handle_ = nullptr;  // HKEY
#else
    AnsiString path_;         // normalised, without leading or trailing backslashes
    bool open_ = false;
#endif
};

}  // namespace platform
