#include "cli/CommandLine.h"

#include <algorithm>
#include <ostream>
#include <sstream>

namespace quorbin::cli {
namespace {

constexpr std::string_view kProgram = "quorbin-cli";

const OptionDefinition kHelpOption{"help", 'h', "", N_("show this help")};

const OptionDefinition* FindLong(const std::vector<OptionDefinition>& options, std::string_view name)
{
    if (name == kHelpOption.longName)
        return &kHelpOption;
    const auto it =
        std::find_if(options.begin(), options.end(), [&](const OptionDefinition& o) { return o.longName == name; });
    return it == options.end() ? nullptr : &*it;
}

const OptionDefinition* FindShort(const std::vector<OptionDefinition>& options, char name)
{
    if (name == kHelpOption.shortName)
        return &kHelpOption;
    const auto it =
        std::find_if(options.begin(), options.end(), [&](const OptionDefinition& o) { return o.shortName == name; });
    return it == options.end() ? nullptr : &*it;
}

// Takes the value of `option`: attached (`--x=v`, `-ov`) or the next argument.
bool TakeValue(const OptionDefinition& option, std::optional<std::string_view> attached, std::span<const std::string> args,
               std::size_t& i, ParsedArguments& parsed, std::string& error)
{
    const std::string key(option.longName);
    if (option.valueName.empty() || (option.valueOptional && !attached)) {
        if (attached) {
            error = Substitute(Tr("option --%1 takes no value"), {key});
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
        error = Substitute(Tr("option --%1 needs a value (%2)"), {key, option.valueName});
        return false;
    }
    parsed.values[key] = args[++i];
    return true;
}

// Pads `text` with spaces to `width` columns; every character counts one column.
std::string Padded(std::string_view text, std::size_t width)
{
    std::string padded(text);
    const auto columns = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    padded.append(columns < width ? width - columns : 2, ' ');
    return padded;
}

void PrintProgramHelp(const std::vector<Subcommand>& table, std::ostream& out)
{
    std::ostringstream text;
    text << Substitute(Tr("Usage: %1 <command> [options] FILE..."), {kProgram}) << '\n'
         << "       " << kProgram << " --help | --version\n\n"
         << Tr("Commands:") << '\n';
    for (const Subcommand& command : table) {
        text << "  " << Padded(command.name, 12) << Tr(command.summary) << '\n';
    }
    text << '\n' << Substitute(Tr("Run \"%1 <command> --help\" for the options of a command."), {kProgram}) << '\n';
    Say(out, text.str());
}

const Subcommand* FindSubcommand(const std::vector<Subcommand>& table, std::string_view name)
{
    const auto it = std::find_if(table.begin(), table.end(), [&](const Subcommand& c) { return c.name == name; });
    return it == table.end() ? nullptr : &*it;
}

// "help" alone, or "help COMMAND" as "COMMAND --help".
int RunHelp(std::span<const std::string> args, const std::vector<Subcommand>& table, Streams streams)
{
    if (args.empty()) {
        PrintProgramHelp(table, streams.out);
        return 0;
    }
    const Subcommand* command = FindSubcommand(table, args[0]);
    if (!command || args.size() > 1) {
        return UsageError(streams.err, "", Substitute(Tr("help: unknown command %1"), {args[0]}));
    }
    PrintSubcommandHelp(*command, streams.out);
    return 0;
}

}  // namespace

int UsageError(std::ostream& err, std::string_view context, const std::string& message)
{
    std::string help(kProgram);
    if (!context.empty())
        help += ' ' + std::string(context);
    help += " --help";
    Say(err, std::string(kProgram) + ": " + message + "\n" + Substitute(Tr("Try \"%1\"."), {help}) + "\n");
    err.flush();
    return kExitUsage;
}

std::optional<std::string> ParsedArguments::Value(std::string_view option) const
{
    const auto it = values.find(option);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

std::optional<ParsedArguments> ParseOptions(std::span<const std::string> args, const std::vector<OptionDefinition>& options,
                                            std::string& error)
{
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
        const OptionDefinition* option = nullptr;
        std::optional<std::string_view> attached;
        if (arg.starts_with("--")) {
            const std::string_view body = arg.substr(2);
            const std::size_t equals = body.find('=');
            option = FindLong(options, body.substr(0, equals));
            if (equals != std::string_view::npos)
                attached = body.substr(equals + 1);
        } else {
            option = FindShort(options, arg[1]);
            if (option && arg.size() > 2) {
                if (option->valueName.empty())
                    option = nullptr;  // grouped flags are not supported
                else
                    attached = arg.substr(2);
            }
        }
        if (!option) {
            error = Substitute(Tr("unknown option %1"), {arg});
            return std::nullopt;
        }
        if (!TakeValue(*option, attached, args, i, parsed, error))
            return std::nullopt;
    }
    return parsed;
}

void PrintSubcommandHelp(const Subcommand& command, std::ostream& out)
{
    std::ostringstream text;
    text << Substitute(Tr("Usage: %1 %2 [options] %3"), {kProgram, command.name, command.operands}) << "\n\n"
         << Tr(command.description) << "\n\n"
         << Tr("Options:") << '\n';
    std::vector<OptionDefinition> all = command.options;
    all.push_back(kHelpOption);
    for (const OptionDefinition& option : all) {
        std::string left = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
        left.append("--").append(option.longName);
        if (option.valueOptional)
            left.append("[=").append(option.valueName).append("]");
        else if (!option.valueName.empty())
            left.append(" ").append(option.valueName);
        text << "  " << Padded(left, 24) << Tr(option.help) << '\n';
    }
    Say(out, text.str());
}

int RunCommandLine(std::span<const std::string> args, const std::vector<Subcommand>& table, Streams streams)
{
    if (args.empty())
        return UsageError(streams.err, "", Tr("no command given"));
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h" || first == "help")
        return RunHelp(args.subspan(1), table, streams);
    if (first == "--version" || first == "-V") {
        streams.out << kProgram << ' ' << QUORBIN_VERSION << '\n';
        return 0;
    }
    const Subcommand* command = FindSubcommand(table, first);
    if (!command) {
        return UsageError(
            streams.err, "",
            Substitute(first.starts_with('-') ? Tr("unknown option %1") : Tr("unknown command %1"), {first}));
    }
    std::string error;
    const auto parsed = ParseOptions(args.subspan(1), command->options, error);
    if (!parsed)
        return UsageError(streams.err, command->name, std::string(command->name) + ": " + error);
    if (parsed->Has("help")) {
        PrintSubcommandHelp(*command, streams.out);
        return 0;
    }
    return command->run(*parsed, streams);
}

}  // namespace quorbin::cli
