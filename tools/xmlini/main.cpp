// xmlini: command-line tool over XML documents and the settings store.
//   xmlini COMMAND ARGUMENTS...
// Writes no node trace unless UNINSTALL_XML_LOG names a trace file.
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/stdio_binary.h"
#include "tools/xmlini/commands.h"
#include "xml/Node.h"

namespace {

using namespace xmlini_tool;

// Every command list of the tool; a new source file adds its list here.
std::span<const Command> (*const kCommandLists[])() = {
    DocumentCommands,
    StoreCommands,
};

const Command* FindCommand(std::string_view name) {
    for (auto list : kCommandLists)
        for (const Command& command : list())
            if (name == command.name) return &command;
    return nullptr;
}

int Usage(std::ostream& err) {
    err << "usage: xmlini COMMAND ARGUMENTS...\n";
    for (auto list : kCommandLists)
        for (const Command& command : list())
            err << "  xmlini " << command.name << ' ' << command.usage << "\n      " << command.help << '\n';
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const char* trace = std::getenv("UNINSTALL_XML_LOG");
    SetXmlTraceEnabled(trace && *trace);
    platform::SetStdoutBinary();
    std::ios::sync_with_stdio(false);

    if (argc < 2) return Usage(std::cerr);
    const Command* command = FindCommand(argv[1]);
    if (!command) {
        std::cerr << "xmlini: unknown command \"" << argv[1] << "\"\n";
        return Usage(std::cerr);
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    int status;
    try {
        status = command->run(args, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "xmlini " << command->name << ": " << error.what() << '\n';
        status = kExitError;
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "xmlini: cannot write to standard output\n";
        return kExitError;
    }
    return status;
}
