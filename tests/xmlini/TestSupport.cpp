#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "xml/Node.h"
#include "xmlini/InterfacedObject.h"

namespace fs = std::filesystem;

std::string Failure(HRESULT status) {
    try {
        CheckAutoResult(status);
    } catch (const EOleSysError& e) {
        return e.Message();
    }
    return "";
}

namespace {

// Objects left referenced when a test program ends are a test failure, not a dialog to click away.
void PrintLeaks(const AnsiString& caption, const AnsiString& text) {
    std::fprintf(stderr, "%s interface objects still referenced at exit:%s", caption.c_str(), text.c_str());
}

struct TestProgramSetup {
    TestProgramSetup() {
        SetLeakReportHandler(&PrintLeaks);
        // The node trace goes to the build's temporary folder, never to the user's state folder.
        SetXmlTraceEnabled(false);
    }
} setup;

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() / ("xmlini-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(dir);
    path_ = dir.string();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(fs::path(path_), ignored);
}

AnsiString TempFolder::File(const AnsiString& name) const { return (fs::path(path_) / name).string(); }

std::string ReadFileBytes(const AnsiString& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const AnsiString& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileIsThere(const AnsiString& path) { return fs::exists(fs::path(path)); }

std::string XmlFileText(std::initializer_list<const char*> elementLines) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<!-- created by Velmora XML package -->\r\n";
    for (const char* line : elementLines) text += std::string(line) + "\r\n";
    return text;
}
