#pragma once
// Helpers of the XML and the XML-INI tests: temporary folders, environment, files, the trace file.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/env.h"
#include "tests/common/temp_dir.h"
#include "xml/Parser.h"

namespace xmltest {

using ::TempDir;
using ::SetEnv;  // an empty value removes the variable
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
