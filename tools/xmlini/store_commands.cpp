// get, set, delete, keys and values: the settings store of a file from the command line. Everything goes
// through IXMLIni and the node interfaces, so the store's errors arrive as they would in the program.
#include <ostream>

#include "tools/xmlini/commands.h"
#include "xmlini/XMLIni.h"

namespace xmlini_tool {
namespace {

constexpr int kExitNoKey = 2;  // the key named on the command line does not exist

// The terminal's text: the ANSI code page on Windows, UTF-8 on Linux.
WideString FromTerminal(const std::string& text) {
#ifdef _WIN32
    return platform::AnsiToWide(text);
#else
    return platform::Utf8ToWide(text);
#endif
}

std::string ToTerminal(const WideString& text) {
#ifdef _WIN32
    return platform::WideToAnsi(text);
#else
    return platform::WideToUtf8(text);
#endif
}

// A store over the file, released explicitly at the end so that an error of the release is reported.
class StoreSession {
public:
    explicit StoreSession(const std::string& file) : ini_(NewXMLIni(FromTerminal(file))), file_(file) {}
    ~StoreSession() = default;

    IXMLIni* operator->() const { return ini_.Get(); }

    bool Open(const std::string& key, bool create) {
        bool opened = false;
        CheckAutoResult(ini_->OpenKey(FromTerminal(key).c_str(), create, -1, &opened));
        return opened;
    }

    void Save() {
        bool written = false;
        CheckAutoResult(ini_->Save(&written));
        if (!written) throw Exception("cannot write \"" + file_ + "\"");
    }

    void Close() { ini_.Reset(); }

private:
    TInterfacePtr<IXMLIni> ini_;
    std::string file_;
};

int NoKey(const char* command, const std::string& key, std::ostream& err) {
    err << "xmlini " << command << ": key \"" << key << "\" does not exist\n";
    return kExitNoKey;
}

int BadArguments(const char* command, const char* usage, std::ostream& err) {
    err << "usage: xmlini " << command << ' ' << usage << '\n';
    return kExitUsage;
}

int RunGet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3) return BadArguments("get", "FILE KEY NAME", err);
    StoreSession store(args[0]);
    if (!store.Open(args[1], false)) return NoKey("get", args[1], err);
    TBStr value;
    CheckAutoResult(store->ReadString(FromTerminal(args[2]).c_str(), u"", value.Receive()));
    store.Close();
    out << ToTerminal(value.Value()) << '\n';
    return kExitOk;
}

int RunSet(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    if (args.size() != 4) return BadArguments("set", "FILE KEY NAME VALUE", err);
    const auto lock = LockXmlIniFile(FromTerminal(args[0]), true);  // from the load to the save
    StoreSession store(args[0]);
    store.Open(args[1], true);
    CheckAutoResult(store->WriteString(FromTerminal(args[2]).c_str(), FromTerminal(args[3]).c_str()));
    store.Save();
    store.Close();
    return kExitOk;
}

int RunDelete(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    if (args.size() != 2 && args.size() != 3) return BadArguments("delete", "FILE KEY [NAME]", err);
    const auto lock = LockXmlIniFile(FromTerminal(args[0]), false);  // from the load to the save
    StoreSession store(args[0]);
    if (!store.Open(args[1], false)) return NoKey("delete", args[1], err);
    if (args.size() == 3)
        CheckAutoResult(store->WriteString(FromTerminal(args[2]).c_str(), u""));
    else
        CheckAutoResult(store->DeleteKey());
    store.Save();
    store.Close();
    return kExitOk;
}

int RunKeys(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 && args.size() != 2) return BadArguments("keys", "FILE [KEY]", err);
    StoreSession store(args[0]);
    std::string key = args.size() == 2 ? args[1] : std::string();
    if (!store.Open(key, false)) return NoKey("keys", key, err);
    TInterfacePtr<IXMLTreeNode> node;
    CheckAutoResult(store->GetCurrentKey(node.Receive()));
    int count = 0;
    CheckAutoResult(node->GetChildCount(&count));
    std::string lines;
    for (int i = 0; i < count; ++i) {
        TInterfacePtr<IXMLTreeNode> child;
        CheckAutoResult(node->GetChild(i, child.Receive()));
        TBStr name;
        CheckAutoResult(child->GetName(name.Receive()));
        // Comments and nameless elements are no keys: no path can name them.
        if (!name.Value().empty()) lines += ToTerminal(name.Value()) + '\n';
    }
    node.Reset();
    store.Close();
    out << lines;
    return kExitOk;
}

int RunValues(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) return BadArguments("values", "FILE KEY", err);
    StoreSession store(args[0]);
    if (!store.Open(args[1], false)) return NoKey("values", args[1], err);
    TInterfacePtr<IXMLTreeNode> node;
    CheckAutoResult(store->GetCurrentKey(node.Receive()));
    TInterfacePtr<IAttributeList> list;
    CheckAutoResult(node->GetAttributes(list.Receive()));
    int count = 0;
    CheckAutoResult(list->GetCount(&count));
    std::string lines;
    for (int i = 0; i < count; ++i) {
        TBStr line;
        CheckAutoResult(list->GetLine(i, line.Receive()));
        lines += ToTerminal(line.Value()) + '\n';
    }
    list.Reset();
    node.Reset();
    store.Close();
    out << lines;
    return kExitOk;
}

const Command kStoreCommands[] = {
    {"get", "FILE KEY NAME", "print the value NAME of the key KEY (\"\\\"-separated path); exit 2 when the key is missing",
     RunGet},
    {"set", "FILE KEY NAME VALUE", "write the value (an empty VALUE deletes it), creating the key, and save", RunSet},
    {"delete", "FILE KEY [NAME]", "delete the value NAME, or the key with its subkeys, and save; exit 2 when the key is missing",
     RunDelete},
    {"keys", "FILE [KEY]", "list the names of the subkeys of KEY (of the top without KEY)", RunKeys},
    {"values", "FILE KEY", "list the value lines of KEY as stored", RunValues},
};

}  // namespace

std::span<const Command> StoreCommands() { return kStoreCommands; }

}  // namespace xmlini_tool
