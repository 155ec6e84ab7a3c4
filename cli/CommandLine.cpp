#include "cli/CommandLine.h"

#include <algorithm>
#include <ostream>

namespace quorbin::cli {
namespace {

constexpr std::string_view kProgram = "quorbin-cli";

const OptionSpec kHelpOption{"help", 'h', "", "show this help"};

const OptionSpec* FindLong(const std::vector<OptionSpec>& options, std::string_view name) {
    if (name == kHelpOption.longName) return &kHelpOption;
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const OptionSpec& o) { return o.longName == name; });
    return it == options.end() ? nullptr : &*it;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& options, char name) {
    if (name == kHelpOption.shortName) return &kHelpOption;
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const OptionSpec& o) { return o.shortName == name; });
    return it == options.end() ? nullptr : &*it;
}

// Takes the value of `option`: attached (`--x=v`, `-ov`) or the next argument.
bool TakeValue(const OptionSpec& option, std::optional<std::string_view> attached,
               std::span<const std::string> args, std::size_t& i, ParsedArguments& parsed,
               std::string& error) {
    const std::string key(option.longName);
    if (option.valueName.empty()) {
        if (attached) {
            error = "option --" + key + " takes no value";
            return false;
        }
        parsed.values[key] = "";
        return true;
    }
    if (attached) {
        parsed.values[key] = std::string(*attached);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = "option --" + key + " needs a value (" + std::string(option.valueName) + ")";
        return false;
    }
    parsed.values[key] = args[++i];
    return true;
}

void PrintProgramHelp(const std::vector<Subcommand>& table, std::ostream& out) {
    out << "Usage: " << kProgram << " <command> [options] FILE...\n"
        << "       " << kProgram << " --help | --version\n\nCommands:\n";
    for (const Subcommand& command : table) {
        out << "  " << command.name << std::string(12 - std::min<std::size_t>(command.name.size(), 11), ' ')
            << command.summary << '\n';
    }
    out << "\nRun \"" << kProgram << " <command> --help\" for the options of a command.\n";
}

} // namespace

int UsageError(std::ostream& err, std::string_view context, const std::string& message) {
    err << kProgram << ": " << message << "\nTry \"" << kProgram;
    if (!context.empty()) err << ' ' << context;
    err << " --help\".\n";
    return kExitUsage;
}

std::optional<std::string> ParsedArguments::Value(std::string_view option) const {
    const auto it = values.find(option);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::optional<ParsedArguments> ParseOptions(std::span<const std::string> args,
                                            const std::vector<OptionSpec>& options,
                                            std::string& error) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* option = nullptr;
        std::optional<std::string_view> attached;
        if (arg.starts_with("--")) {
            const std::string_view body = arg.substr(2);
            const std::size_t equals = body.find('=');
            option = FindLong(options, body.substr(0, equals));
            if (equals != std::string_view::npos) attached = body.substr(equals + 1);
        } else {
            option = FindShort(options, arg[1]);
            if (option && arg.size() > 2) {
                if (option->valueName.empty()) option = nullptr;  // grouped flags are not supported
                else attached = arg.substr(2);
            }
        }
        if (!option) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        }
        if (!TakeValue(*option, attached, args, i, parsed, error)) return std::nullopt;
    }
    return parsed;
}

void PrintSubcommandHelp(const Subcommand& command, std::ostream& out) {
    out << "Usage: " << kProgram << ' ' << command.name << " [options] " << command.operands
        << "\n\n" << command.description << "\n\nOptions:\n";
    std::vector<OptionSpec> all = command.options;
    all.push_back(kHelpOption);
    for (const OptionSpec& option : all) {
        std::string left = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
        left += "--" + std::string(option.longName);
        if (!option.valueName.empty()) left += " " + std::string(option.valueName);
        left.resize(std::max<std::size_t>(left.size() + 2, 24), ' ');
        out << "  " << left << option.help << '\n';
    }
}

int RunCommandLine(std::span<const std::string> args, const std::vector<Subcommand>& table,
                   Streams streams) {
    if (args.empty()) return UsageError(streams.err, "", "no command given");
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h") {
        PrintProgramHelp(table, streams.out);
        return 0;
    }
    if (first == "--version") {
        streams.out << kProgram << ' ' << QUORBIN_VERSION << '\n';
        return 0;
    }
    const auto command = std::find_if(table.begin(), table.end(),
                                      [&](const Subcommand& c) { return c.name == first; });
    if (command == table.end()) {
        return UsageError(streams.err, "", (first.starts_with('-') ? "unknown option " : "unknown command ")
                                                + std::string(first));
    }
    std::string error;
    const auto parsed = ParseOptions(args.subspan(1), command->options, error);
    if (!parsed) return UsageError(streams.err, command->name, std::string(command->name) + ": " + error);
    if (parsed->Has("help")) {
        PrintSubcommandHelp(*command, streams.out);
        return 0;
    }
    return command->run(*parsed, streams);
}

} // namespace quorbin::cli
