#pragma once
// Shared by the store's tests: a private temporary folder per test, whole-file helpers, and a leak
// handler that reports instead of waiting for a user at exit.
#include <string>

#include "xmlini/InterfacedObject.h"

#include "platform/codepage.h"

// A fresh folder below the system's temporary folder, removed with its content at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with the platform's separator, no trailing separator (ANSI bytes).
    const AnsiString& Path() const { return path_; }
    // Path + separator + name.
    AnsiString File(const AnsiString& name) const;

private:
    AnsiString path_;
};

// The message a failed call raises in its caller, "" when the call succeeded.
std::string Failure(HRESULT status);
// The message of the Exception f raises, "no error" when it raises none.
template <class F>
std::string Thrown(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

std::string ReadFileBytes(const AnsiString& path);
void WriteFileBytes(const AnsiString& path, const std::string& bytes);
bool FileIsThere(const AnsiString& path);

// The text of a file the store writes, lines joined by CR LF as the writer makes them.
std::string XmlFileText(std::initializer_list<const char*> elementLines);
