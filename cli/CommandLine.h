#pragma once
// Command-line parsing of quorbin-cli: a table of subcommands, each with its
// own options, parsed by one generic parser.
#include <iosfwd>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Texts.h"

namespace quorbin::cli {

constexpr int kExitUsage = 64;    // EX_USAGE
constexpr int kExitIoError = 74;  // EX_IOERR: standard output could not be written

struct OptionDefinition {
    std::string_view longName;   // without "--"
    char shortName = 0;          // 0: no short form
    std::string_view valueName;  // empty: a flag without value
    const char* help = "";       // English; translated when shown
    bool valueOptional = false;  // the value only as "--name=VALUE"; "--name" alone gives ""
};

struct ParsedArguments {
    std::map<std::string, std::string, std::less<>> values;  // last occurrence wins
    std::vector<std::string> operands;

    bool Has(std::string_view option) const { return values.find(option) != values.end(); }
    std::optional<std::string> Value(std::string_view option) const;
};

struct Streams {
    std::ostream& out;
    std::ostream& err;
    bool outIsTerminal = false;  // a melody or WAVE file is never written to a terminal
    bool inIsTerminal = false;   // nor read from one
};

// A typical use of a command, shown in the help.
struct Example {
    std::string_view commandLine;  // shown as it is
    const char* explanation = "";  // English; translated when shown
};

struct Subcommand {
    std::string_view name;
    std::string_view operands;     // e.g. "FILE.wav..."
    const char* summary = "";      // one line for the command list (English; translated when shown)
    const char* description = "";  // paragraph of the command's own help
    std::vector<OptionDefinition> options;
    int (*run)(const ParsedArguments& arguments, Streams streams);
    std::vector<Example> examples = {};
};

// Parses `args` (without the program and subcommand names) against `options`.
// On error returns nullopt and sets `error` to a one-line explanation.
std::optional<ParsedArguments> ParseOptions(std::span<const std::string> args,
                                            const std::vector<OptionDefinition>& options, std::string& error);

// Runs the whole command line (argv without argv[0]) against the subcommand table
// and returns the exit status.
int RunCommandLine(std::span<const std::string> args, const std::vector<Subcommand>& table, Streams streams);

// Prints "quorbin-cli: message" (UTF-8, in the user's language) and a hint to
// the help of `command` (may be empty) on `err`; returns the usage exit status.
int UsageError(std::ostream& err, std::string_view command, const std::string& message);

void PrintSubcommandHelp(const Subcommand& command, std::ostream& out);

}  // namespace quorbin::cli
