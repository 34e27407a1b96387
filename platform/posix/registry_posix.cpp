// HKEY_CURRENT_USER kept in a text file in .reg syntax; see registry.h for the format and its encoding.
#include "platform/registry.h"

#include "platform/files.h"
#include "platform/posix/files_native.h"
#include "platform/replace_file.h"
#include "platform/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace platform {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// A value as Windows keeps it: string types as UTF-16LE with a terminating zero.
struct Value {
    uint32_t type = kRegNone;
    std::string bytes;
};

// One logical line of the file: its physical lines as read (or as generated), and what they mean.
struct Line {
    std::vector<std::string> raw;
    bool isValue = false;
    std::string name;  // UTF-8; "" is the default value
    Value value;
};

Line RawLine(std::string text) {
    Line line;
    line.raw = {std::move(text)};
    return line;
}

struct Section {
    std::vector<std::string> raw;  // the header line
    bool hkcu = false;             // a section of HKEY_CURRENT_USER (others are kept untouched)
    std::string path;              // UTF-8, below HKEY_CURRENT_USER, without outer backslashes
    std::vector<Line> lines;
};

struct RegFile {
    bool utf16 = false;    // UTF-16LE with byte-order mark (as regedit saves)
    std::string oddByte;   // a UTF-16 file's last byte when its length is odd, written back as it was
    bool utf8Bom = false;
    bool regedit4 = false; // ANSI text, hex(2) data in ANSI
    std::string newline = "\n";
    std::vector<Line> preamble;  // the header and whatever stands before the first section
    std::vector<Section> sections;
};

// ---- text helpers

std::u16string Fold(std::string_view utf8) { return WideUpperCase(Utf8ToWide(utf8)); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && AsciiSameText(s.substr(0, prefix.size()), prefix);
}

std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes;
}

std::u16string FromUtf16Bytes(std::string_view bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

// A UTF-16 file's text as the UTF-8 the parser reads, and back, without loss: a lone surrogate, which
// UTF-8 cannot carry, takes the three bytes its code would take (as WTF-8 writes it), and comes back
// from them, so that the lines nobody changed are written back as they were.
bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsPair(std::u16string_view text, size_t i) {
    return text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

std::string TextOfUtf16File(std::u16string_view text) {
    std::string out;
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsPair(text, i)) {
            ++i;
            continue;
        }
        if (!IsSurrogate(text[i])) continue;
        out += WideToUtf8(text.substr(run, i - run));
        out += {char(0xE0 | (text[i] >> 12)), char(0x80 | ((text[i] >> 6) & 0x3F)), char(0x80 | (text[i] & 0x3F))};
        run = i + 1;
    }
    return out + WideToUtf8(text.substr(run));
}

// A lone surrogate as TextOfUtf16File writes it: ED A0..BF 80..BF, which valid UTF-8 never holds.
bool IsLoneSurrogateAt(std::string_view text, size_t i) {
    return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xED &&
           (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0 &&
           (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80;
}

std::u16string Utf16OfFileText(std::string_view text) {
    std::u16string out;
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsLoneSurrogateAt(text, i)) continue;
        out += Utf8ToWide(text.substr(run, i - run));
        out += char16_t(0xD000 | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F));
        i += 2;
        run = i + 1;
    }
    return out + Utf8ToWide(text.substr(run));
}

// The text of a string value up to its first zero character.
std::u16string StringOfValue(const Value& value) {
    std::u16string text = FromUtf16Bytes(value.bytes);
    const size_t zero = text.find(u'\0');
    if (zero != std::u16string::npos) text.resize(zero);
    return text;
}

Value StringValue(std::u16string_view text, uint32_t type) {
    Value value;
    value.type = type;
    value.bytes = Utf16Bytes(text);
    value.bytes.append(2, '\0');
    return value;
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view s, size_t& pos) {
    std::string out;
    for (size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "01,ff, 2a" (continuation backslashes already removed) -> bytes.
std::optional<std::string> ParseHexList(std::string_view s) {
    std::string bytes;
    s = TrimSpaceTab(s);
    if (s.empty()) return bytes;
    size_t pos = 0;
    for (;;) {
        size_t comma = s.find(',', pos);
        std::string_view item = TrimSpaceTab(s.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        if (item.empty() || item.size() > 2) return std::nullopt;
        int value = 0;
        for (char c : item) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        bytes += char(value);
        if (comma == std::string_view::npos) return bytes;
        pos = comma + 1;
    }
}

// ---- parsing

// Parses the data part of a value line ("..." / dword:... / hex...:...), the physical lines joined.
std::optional<Value> ParseData(std::string_view data, bool regedit4) {
    data = TrimSpaceTab(data);
    Value value;
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || !TrimSpaceTab(data.substr(pos)).empty()) return std::nullopt;
        return StringValue(Utf8ToWide(*text), kRegSz);
    }
    if (StartsWithNoCase(data, "dword:")) {
        std::string_view digits = TrimSpaceTab(data.substr(6));
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        uint32_t number = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            number = number * 16 + uint32_t(d);
        }
        value.type = kRegDword;
        for (int i = 0; i < 4; ++i) value.bytes += char((number >> (8 * i)) & 0xFF);
        return value;
    }
    if (!StartsWithNoCase(data, "hex")) return std::nullopt;
    std::string_view rest = data.substr(3);
    value.type = kRegBinary;
    if (!rest.empty() && rest.front() == '(') {
        const size_t close = rest.find(')');
        if (close == std::string_view::npos || close == 1 || close > 9) return std::nullopt;
        uint32_t type = 0;
        for (char c : rest.substr(1, close - 1)) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            type = type * 16 + uint32_t(d);
        }
        value.type = type;
        rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return std::nullopt;
    auto bytes = ParseHexList(rest.substr(1));
    if (!bytes) return std::nullopt;
    value.bytes = std::move(*bytes);
    // REGEDIT4 files keep the string types' data as ANSI bytes.
    if (regedit4 && IsStringType(value.type)) value.bytes = Utf16Bytes(AnsiToWide(value.bytes));
    return value;
}

// Splits "name"=data / @=data; false for anything else.
bool SplitValueLine(std::string_view line, std::string& name, std::string_view& data) {
    line = TrimSpaceTab(line);
    size_t pos = 0;
    if (line.empty()) return false;
    if (line.front() == '@') {
        name.clear();
        pos = 1;
    } else if (line.front() == '"') {
        auto quoted = ReadQuoted(line, pos);
        if (!quoted) return false;
        name = std::move(*quoted);
    } else {
        return false;
    }
    std::string_view rest = TrimSpaceTab(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return false;
    data = rest.substr(1);
    return true;
}

// "[HKEY_CURRENT_USER\A\B]" -> path "A\B"; false for other hives and for "[-...]" deletions.
bool ParseSectionHeader(std::string_view line, std::string& path) {
    line = TrimSpaceTab(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    std::string_view inner = line.substr(1, line.size() - 2);
    if (!StartsWithNoCase(inner, kRoot)) return false;
    inner.remove_prefix(kRoot.size());
    if (!inner.empty() && inner.front() != '\\') return false;
    while (!inner.empty() && inner.front() == '\\') inner.remove_prefix(1);
    while (!inner.empty() && inner.back() == '\\') inner.remove_suffix(1);
    path = std::string(inner);
    return true;
}

RegFile Parse(std::string text) {
    RegFile file;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
        file.utf16 = true;
        if (text.size() % 2 != 0) file.oddByte = text.substr(text.size() - 1);
        text = TextOfUtf16File(FromUtf16Bytes(std::string_view(text).substr(2)));
    } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        file.utf8Bom = true;
        text.erase(0, 3);
    }
    if (text.find("\r\n") != std::string::npos) file.newline = "\r\n";

    std::vector<std::string> physical;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        physical.push_back(std::move(line));
        pos = end + 1;
    }
    for (const std::string& line : physical) {
        if (TrimSpaceTab(line).empty()) continue;
        file.regedit4 = TrimSpaceTab(line) == kHeader4;
        break;
    }
    if (file.regedit4)
        for (std::string& line : physical) line = AnsiToUtf8(line);

    Section* current = nullptr;
    for (size_t i = 0; i < physical.size(); ++i) {
        const std::string_view trimmed = TrimSpaceTab(physical[i]);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            Section section;
            section.raw = {physical[i]};
            section.hkcu = ParseSectionHeader(physical[i], section.path);
            file.sections.push_back(std::move(section));
            current = &file.sections.back();
            continue;
        }
        Line line;
        line.raw = {physical[i]};
        std::string name;
        std::string_view data;
        if (current && current->hkcu && SplitValueLine(physical[i], name, data)) {
            std::string joined(data);
            // hex data goes on over lines that end in a backslash: the backslash and the blanks before it
            // go, the next line is appended in place (a long value has many thousand lines).
            if (StartsWithNoCase(TrimSpaceTab(data), "hex")) {
                while (i + 1 < physical.size()) {
                    const size_t end = joined.find_last_not_of(" \t");
                    if (end == std::string::npos || joined[end] != '\\') break;
                    joined.resize(end);
                    joined += physical[++i];
                    line.raw.push_back(physical[i]);
                }
            }
            if (auto value = ParseData(joined, file.regedit4)) {
                line.isValue = true;
                line.name = std::move(name);
                line.value = std::move(*value);
            }
        }
        (current ? current->lines : file.preamble).push_back(std::move(line));
    }
    return file;
}

// ---- writing

std::vector<std::string> FormatValueLine(const std::string& name, const Value& value, bool regedit4) {
    const std::string head = (name.empty() ? std::string("@") : Quote(name)) + "=";
    if (value.type == kRegSz) {
        const std::u16string text = FromUtf16Bytes(value.bytes);
        // Plain "..." only when it reads back the same: one terminating zero, no line breaks.
        const bool plain = value.bytes.size() % 2 == 0 && !text.empty() && text.back() == u'\0' &&
                           text.find_first_of(std::u16string_view(u"\0\r\n", 3)) == text.size() - 1;
        if (plain) return {head + Quote(WideToUtf8(std::u16string_view(text).substr(0, text.size() - 1)))};
    }
    if (value.type == kRegDword && value.bytes.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number * 256 + static_cast<unsigned char>(value.bytes[size_t(i)]);
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", number);
        return {head + "dword:" + digits};
    }
    std::string bytes = value.bytes;
    if (regedit4 && IsStringType(value.type)) bytes = WideToAnsi(FromUtf16Bytes(bytes));
    std::string line = head + (value.type == kRegBinary ? std::string("hex:") : [&] {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        return std::string(prefix);
    }());
    // Wrapped like regedit: lines of about 80 columns, continued with a trailing backslash.
    std::vector<std::string> lines;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        line += item;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() > 75) {
                lines.push_back(line + "\\");
                line = "  ";
            }
        }
    }
    lines.push_back(line);
    return lines;
}

std::string Serialise(const RegFile& file) {
    std::string text;
    auto put = [&](const std::vector<std::string>& raw) {
        for (const std::string& line : raw) text += line + file.newline;
    };
    for (const Line& line : file.preamble) put(line.raw);
    for (const Section& section : file.sections) {
        put(section.raw);
        for (const Line& line : section.lines) put(line.raw);
    }
    if (file.regedit4) return Utf8ToAnsi(text);
    if (file.utf16) return "\xFF\xFE" + Utf16Bytes(Utf16OfFileText(text)) + file.oddByte;
    if (file.utf8Bom) return "\xEF\xBB\xBF" + text;
    return text;
}

// ---- the file on disk

std::string RegistryFileName() {
    if (const char* name = std::getenv("UNINSTALL_REGISTRY"); name && *name) return name;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) config = std::string(home) + "/.config";
    else config = ".";
    return config + "/uninstall-feedback/registry.reg";
}

long Load(RegFile& file) {
    try {
        file = Parse(posix::ReadWholeFileNative(RegistryFileName()));
    } catch (const EInOutError& e) {
        if (e.Code() != ENOENT && e.Code() != ENOTDIR) return e.Code() == EACCES ? kRegAccessDenied : kRegCorrupt;
        file = RegFile();
    }
    // A new or empty file starts with the header regedit expects.
    if (file.preamble.empty() && file.sections.empty()) file.preamble = {RawLine(std::string(kHeader5)), RawLine("")};
    return kRegSuccess;
}

long Save(RegFile& file) {
    const std::string name = RegistryFileName();
    try {
        const size_t slash = name.rfind('/');
        if (slash != std::string::npos && slash > 0) posix::CreateDirectoriesNative(name.substr(0, slash));
    } catch (const EInOutError& e) {
        return e.Code() == EACCES ? kRegAccessDenied : kRegCannotWrite;
    }
    const ReplaceOutcome outcome = ReplaceFileContent(name, Serialise(file));
    if (outcome) return kRegSuccess;
    return outcome.code == EACCES ? kRegAccessDenied : kRegCannotWrite;
}

// Serialises the read-modify-write of the file between processes (and threads): an advisory lock on
// the folder that holds it, so no lock file is left behind. Best effort: without the folder or the lock
// the change is made all the same.
class WriteLock {
public:
    WriteLock() {
        const std::string name = RegistryFileName();
        const size_t slash = name.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash == 0 ? 1 : slash);
        try {
            posix::CreateDirectoriesNative(folder);
        } catch (const EInOutError&) {
        }
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) == -1 && errno == EINTR) {
            }
    }
    ~WriteLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int fd_ = -1;
};

// ---- keys and values

// A line break in a name would end its line in the file and start a section or value of the caller's
// making, so no name may hold one.
bool IsValidName(std::string_view name) { return name.find_first_of("\r\n") == std::string_view::npos; }

// "\A\\B\" -> "A\B" (UTF-8); false when a part of the name is empty or holds a line break.
bool NormalisePath(std::string_view ansiPath, std::string& path) {
    if (!IsValidName(ansiPath)) return false;
    while (!ansiPath.empty() && ansiPath.front() == '\\') ansiPath.remove_prefix(1);
    while (!ansiPath.empty() && ansiPath.back() == '\\') ansiPath.remove_suffix(1);
    if (ansiPath.find("\\\\") != std::string_view::npos) return false;
    path = AnsiToUtf8(ansiPath);
    return true;
}

bool IsSameKey(const Section& section, const std::u16string& folded) {
    return section.hkcu && Fold(section.path) == folded;
}

bool IsKeyOrBelow(const Section& section, const std::u16string& folded) {
    if (!section.hkcu) return false;
    const std::u16string path = Fold(section.path);
    if (folded.empty()) return true;
    return path == folded || (path.size() > folded.size() && path.compare(0, folded.size(), folded) == 0 &&
                              path[folded.size()] == u'\\');
}

bool KeyExists(const RegFile& file, const std::string& path) {
    if (path.empty()) return true;
    const std::u16string folded = Fold(path);
    for (const Section& section : file.sections)
        if (IsKeyOrBelow(section, folded)) return true;
    return false;
}

// The line that defines the value: the last one, as an import would leave it.
Line* FindValue(RegFile& file, const std::string& path, const std::string& name) {
    const std::u16string key = Fold(path), folded = Fold(name);
    Line* found = nullptr;
    for (Section& section : file.sections) {
        if (!IsSameKey(section, key)) continue;
        for (Line& line : section.lines)
            if (line.isValue && Fold(line.name) == folded) found = &line;
    }
    return found;
}

Section& AddSection(RegFile& file, const std::string& path) {
    // A blank line before the new section, as regedit separates them.
    std::vector<Line>& before = file.sections.empty() ? file.preamble : file.sections.back().lines;
    if (!before.empty() && !TrimSpaceTab(before.back().raw.back()).empty()) before.push_back(RawLine(""));
    Section section;
    section.raw = {"[" + std::string(kRoot) + (path.empty() ? "" : "\\" + path) + "]"};
    section.hkcu = true;
    section.path = path;
    section.lines.push_back(RawLine(""));
    file.sections.push_back(std::move(section));
    return file.sections.back();
}

}  // namespace

AnsiString RegistryErrorText(long code) {
    switch (code) {
    case kRegSuccess: return "The operation completed successfully.";
    case kRegNotFound: return "The system cannot find the file specified.";
    case kRegAccessDenied: return "Access is denied.";
    case kRegInvalidHandle: return "The handle is invalid.";
    case kRegInvalidParameter: return "The parameter is incorrect.";
    case kRegCorrupt: return "The configuration registry database is corrupt.";
    case kRegCannotWrite: return "The configuration registry key could not be written.";
    case kRegKeyDeleted: return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case kRegWrongType: return "The data type is not supported.";
    default: return "Registry error " + std::to_string(code) + ".";
    }
}

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : path_(std::move(other.path_)), open_(other.open_) {
    other.open_ = false;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        path_ = std::move(other.path_);
        open_ = other.open_;
        other.open_ = false;
    }
    return *this;
}

long RegistryKey::Open(std::string_view path, bool create) {
    Close();
    std::string normal;
    if (!NormalisePath(path, normal)) return kRegInvalidParameter;
    RegFile file;
    if (long rc = Load(file)) return rc;
    if (!KeyExists(file, normal)) {
        if (!create) return kRegNotFound;
        WriteLock lock;
        if (long rc = Load(file)) return rc;
        if (!KeyExists(file, normal)) {
            AddSection(file, normal);
            if (long rc = Save(file)) return rc;
        }
    }
    path_ = std::move(normal);
    open_ = true;
    return kRegSuccess;
}

bool RegistryKey::Valid() const { return open_; }

void RegistryKey::Close() {
    open_ = false;
    path_.clear();
}

namespace {

// Loads the file for an operation on an open key.
long LoadForKey(bool open, const std::string& path, RegFile& file) {
    if (!open) return kRegInvalidHandle;
    if (long rc = Load(file)) return rc;
    return KeyExists(file, path) ? kRegSuccess : kRegKeyDeleted;
}

long ReadValue(bool open, const std::string& path, std::string_view name, Value& value) {
    if (open && !IsValidName(name)) return kRegInvalidParameter;
    RegFile file;
    if (long rc = LoadForKey(open, path, file)) return rc;
    const Line* line = FindValue(file, path, AnsiToUtf8(name));
    if (!line) return kRegNotFound;
    value = line->value;
    return kRegSuccess;
}

long WriteValue(bool open, const std::string& path, std::string_view ansiName, const Value& value) {
    if (!open) return kRegInvalidHandle;
    if (!IsValidName(ansiName)) return kRegInvalidParameter;
    WriteLock lock;
    RegFile file;
    if (long rc = LoadForKey(open, path, file)) return rc;
    const std::string name = AnsiToUtf8(ansiName);
    if (Line* line = FindValue(file, path, name)) {
        // The name keeps the spelling it has in the file, as Windows keeps a value's name.
        line->value = value;
        line->raw = FormatValueLine(line->name, value, file.regedit4);
        return Save(file);
    }
    Section* target = nullptr;
    const std::u16string key = Fold(path);
    for (Section& section : file.sections)
        if (IsSameKey(section, key)) target = &section;
    if (!target) target = &AddSection(file, path);
    Line line;
    line.isValue = true;
    line.name = name;
    line.value = value;
    line.raw = FormatValueLine(name, value, file.regedit4);
    // After the section's last non-blank line, so the blank separator stays at the end.
    auto at = target->lines.end();
    while (at != target->lines.begin() && TrimSpaceTab(std::prev(at)->raw.back()).empty()) --at;
    target->lines.insert(at, std::move(line));
    return Save(file);
}

}  // namespace

long RegistryKey::GetValueType(std::string_view name, uint32_t& type) const {
    Value value;
    if (long rc = ReadValue(open_, path_, name, value)) return rc;
    type = value.type;
    return kRegSuccess;
}

bool RegistryKey::HasValue(std::string_view name) const {
    uint32_t type = 0;
    return GetValueType(name, type) == kRegSuccess;
}

long RegistryKey::ReadString(std::string_view name, AnsiString& text) const {
    Value value;
    if (long rc = ReadValue(open_, path_, name, value)) return rc;
    if (value.type != kRegSz && value.type != kRegExpandSz) return kRegWrongType;
    text = WideToAnsi(StringOfValue(value));
    return kRegSuccess;
}

long RegistryKey::ReadBinary(std::string_view name, std::vector<uint8_t>& bytes) const {
    Value value;
    if (long rc = ReadValue(open_, path_, name, value)) return rc;
    if (value.type != kRegBinary) return kRegWrongType;
    bytes.assign(value.bytes.begin(), value.bytes.end());
    return kRegSuccess;
}

long RegistryKey::ReadDword(std::string_view name, uint32_t& number) const {
    Value value;
    if (long rc = ReadValue(open_, path_, name, value)) return rc;
    if (value.type != kRegDword || value.bytes.size() != 4) return kRegWrongType;
    number = 0;
    for (int i = 3; i >= 0; --i) number = number * 256 + static_cast<unsigned char>(value.bytes[size_t(i)]);
    return kRegSuccess;
}

long RegistryKey::WriteString(std::string_view name, std::string_view text, bool expandable) {
    return WriteValue(open_, path_, name, StringValue(AnsiToWide(text), expandable ? kRegExpandSz : kRegSz));
}

long RegistryKey::WriteBinary(std::string_view name, const std::vector<uint8_t>& bytes) {
    Value value;
    value.type = kRegBinary;
    value.bytes.assign(bytes.begin(), bytes.end());
    return WriteValue(open_, path_, name, value);
}

long RegistryKey::WriteDword(std::string_view name, uint32_t number) {
    Value value;
    value.type = kRegDword;
    for (int i = 0; i < 4; ++i) value.bytes += char((number >> (8 * i)) & 0xFF);
    return WriteValue(open_, path_, name, value);
}

long RegistryKey::DeleteValue(std::string_view ansiName) {
    if (!open_) return kRegInvalidHandle;
    if (!IsValidName(ansiName)) return kRegInvalidParameter;
    WriteLock lock;
    RegFile file;
    if (long rc = LoadForKey(open_, path_, file)) return rc;
    const std::u16string key = Fold(path_), name = Fold(AnsiToUtf8(ansiName));
    bool removed = false;
    for (Section& section : file.sections) {
        if (!IsSameKey(section, key)) continue;
        std::erase_if(section.lines, [&](const Line& line) {
            const bool match = line.isValue && Fold(line.name) == name;
            removed |= match;
            return match;
        });
    }
    return removed ? Save(file) : kRegNotFound;
}

long RegistryKey::DeleteKey(std::string_view path) {
    std::string normal;
    if (!NormalisePath(path, normal) || normal.empty()) return kRegInvalidParameter;
    WriteLock lock;
    RegFile file;
    if (long rc = Load(file)) return rc;
    const std::u16string folded = Fold(normal);
    const size_t before = file.sections.size();
    std::erase_if(file.sections, [&](const Section& section) { return IsKeyOrBelow(section, folded); });
    return file.sections.size() == before ? kRegNotFound : Save(file);
}

}  // namespace platform
