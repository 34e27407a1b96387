#pragma once
// Helpers of the XML and the XML-INI tests: temporary folders, environment, files, the trace file.
#include <filesystem>
#include <string>
#include <vector>

#include "xml/Parser.h"

namespace xmltest {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // How many files and folders it holds: temporary files left behind show here.
    std::size_t Entries() const;

private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

void SetEnv(const char* name, const std::string& value);  // an empty value removes the variable
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Points the trace at a fresh file and switches it on for the lifetime of the object; afterwards the
// trace is off again (as the whole test program keeps it, so that no test writes the user's trace).
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    std::vector<std::string> Lines() const;  // lines without their CR LF

private:
    TempDir dir_;
};

inline TxmlTree Load(std::string_view text) { return TxmlTree(LoadXmlString(text)); }

// Names of the element children (comments left out), joined by ",".
std::string ChildNames(const TxmlNode* node);

// The whole subtree on one line: "!" for a comment, the name, {the attribute lines apart by "|"},
// ="the value", (the children apart by ","). <a x="1">t<b/></a> below "Root" gives Root(a{x=1}="t"(b)).
std::string Shape(const TxmlNode* node);

}  // namespace xmltest
