#include "TestSupport.h"

#include <cstdio>

std::string Failure(HRESULT status) {
    try {
        CheckAutoResult(status);
    } catch (const EOleSysError& e) {
        return e.Message();
    }
    return "";
}

std::string XmlFileText(std::initializer_list<const char*> elementLines) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<!-- created by Velmora XML package -->\r\n";
    for (const char* line : elementLines) text += std::string(line) + "\r\n";
    return text;
}

namespace {

// Objects left referenced when a test program ends are a test failure, not a dialog to click away.
void PrintLeaks(const AnsiString& caption, const AnsiString& text) {
    std::fprintf(stderr, "%s interface objects still referenced at exit:%s", caption.c_str(), text.c_str());
}

[[maybe_unused]] const auto previousLeakHandler = SetLeakReportHandler(&PrintLeaks);

}  // namespace
