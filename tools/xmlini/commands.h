#pragma once
// The commands of the xmlini tool. Each source file offers a list of commands through one function;
// main.cpp collects the lists in its table.
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace xmlini_tool {

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;  // a file that cannot be opened or written, a failed operation
constexpr int kExitUsage = 2;  // wrong arguments

struct Command {
    const char* name;   // first argument that selects the command
    const char* usage;  // the arguments after the name, for the help text
    const char* help;   // one line on what it does
    // args are the arguments after the command name. Results go to out, messages to err.
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

// fmt and dump (document_commands.cpp).
std::span<const Command> DocumentCommands();
// get, set, delete, keys and values over the settings store (store_commands.cpp).
std::span<const Command> StoreCommands();

}  // namespace xmlini_tool
