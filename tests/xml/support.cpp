#include "support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace xmltest {

std::string ReadFile(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size())).good()) << path;
}

TraceCapture::TraceCapture() {
    SetEnv("UNINSTALL_XML_LOG", dir_.File("XML_Log.txt"));
    SetXmlTraceEnabled(true);
}

TraceCapture::~TraceCapture() {
    SetXmlTraceEnabled(false);
    SetEnv("UNINSTALL_XML_LOG", dir_.File("unused"));
}

std::vector<std::string> TraceCapture::Lines() const {
    std::string text = ReadFile(dir_.File("XML_Log.txt"));
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start) + (end == text.size() ? "<no CR LF>" : ""));
    }
    return lines;
}

std::string ChildNames(const TxmlNode* node) {
    std::string out;
    for (const TxmlNode* child : node->Children)
        if (!child->IsComment) out += (out.empty() ? "" : ",") + child->Name;
    return out;
}

std::string Shape(const TxmlNode* node) {
    std::string out = (node->IsComment ? "!" : "") + node->Name;
    const char* separator = "{";
    for (std::string_view line : node->Attributes) out.append(separator).append(line), separator = "|";
    if (!node->Attributes.Empty()) out += "}";
    if (!node->Value.empty()) out += "=\"" + node->Value + "\"";
    separator = "(";
    for (const TxmlNode* child : node->Children) out.append(separator).append(Shape(child)), separator = ",";
    if (!node->Children.empty()) out += ")";
    return out;
}

// The whole program keeps the trace off unless a test captures it.
struct QuietTrace : ::testing::Environment {
    void SetUp() override { SetXmlTraceEnabled(false); }
};
[[maybe_unused]] const auto* const quietTrace = ::testing::AddGlobalTestEnvironment(new QuietTrace);

}  // namespace xmltest
