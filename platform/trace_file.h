#pragma once
// The node trace file of the XML unit: where it lies and how a line is appended.
#include <string_view>

#include "platform/codepage.h"

namespace platform {

// UNINSTALL_XML_LOG when set and not empty; otherwise "c:\XML_Log.txt" on Windows and XML_Log.txt in
// $XDG_STATE_HOME (default ~/.local/state) on Linux.
AnsiString XmlTraceFilePath();

// Appends text to the file at path, creating the file when it does not exist (on Linux also its missing
// folders, since a fresh account has no state folder yet), and closes it again. false when any step
// fails; nothing is thrown.
bool AppendToTextFile(const AnsiString& path, std::string_view text) noexcept;

}  // namespace platform
