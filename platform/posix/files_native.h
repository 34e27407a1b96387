#pragma once
// The files.h operations on names already in the system's own form (UTF-8, "/"), for names that come
// from the environment rather than from the program's ANSI text. Errors name the file as given.
#include <string>
#include <string_view>

namespace platform::posix {

std::string ReadWholeFileNative(const std::string& name);
void CreateDirectoriesNative(const std::string& name);

}  // namespace platform::posix
