#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <string>
#include <vector>

// What a package ships beside a program and must never drift from its command line: the bash
// completion and the roff of its commands' help, made at build time from the program's own CLI11
// command line and help texts. Plain C++ (CLI11).

namespace kx::cli {

// What the value of an option, or an operand, completes to.
struct Completion {
    enum class Kind { Nothing, Files, Words };
    Kind kind = Kind::Nothing;
    std::vector<std::string> words;
};

// The value names a help text gives its options and operands: "--format dat|csv|json" of a
// synopsis, "  -o FILE   write to FILE" of an option list; the operands in order under "" ("reset
// hardware|software": "hardware|software"), each option under each of its names.
struct ValueNames {
    std::map<std::string, std::string> options;
    std::vector<std::string> operands;
};
// `synopsis` is a usage line after the program's and the command's names; `help` the text with
// the option list.
ValueNames ValueNamesOf(const std::string& synopsis, const std::string& help);

// The completion a value name asks for: FILE..., OUT... and DEVICE are files; "a|b|N" the words
// in lower case; any other nothing.
Completion CompletionOfValueName(const std::string& valueName);

// Which completion the option or operand `option` of `command` ("" for the program's own
// options) takes.
using CompletionOf =
    std::function<Completion(const std::string& command, const CLI::Option& option)>;

// A bash completion script for `program`, for bash-completion (it uses _init_completion and
// _filedir): its commands, each command's options with the program's own (which may follow a
// command), the values of the options and the operands by their place.
std::string BashCompletion(const CLI::App& app, const std::string& program,
                           const CompletionOf& completionOf);

// The roff of a command's help for a manual page: `usage` its usage line, then `help` as the
// program prints it: paragraphs filled, "  --option VALUE   text" lines as tagged paragraphs.
std::string RoffOfHelp(const std::string& title, const std::string& usage, const std::string& help);

}  // namespace kx::cli
