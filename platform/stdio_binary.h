#pragma once
// Standard output as raw bytes: Windows' C runtime turns LF into CR LF on text streams, which would
// change files a tool writes out byte for byte.
namespace platform {

// Switches standard output to binary mode; nothing to do on Linux.
void SetStdoutBinary() noexcept;

}  // namespace platform
