#include "cli/CommandLine.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#include "cli/HelpLayout.h"

namespace quorbin::cli {
namespace {

constexpr std::string_view kProgram = "quorbin-cli";

const OptionDefinition kHelpOption{"help", 'h', "", N_("show this help")};
const OptionDefinition kVersionOption{"version", 'V', "", N_("show the version and licence")};

// The options of a command with --help, which every command takes.
std::vector<OptionDefinition> WithHelp(const std::vector<OptionDefinition>& options)
{
    std::vector<OptionDefinition> all = options;
    all.push_back(kHelpOption);
    return all;
}

// Edit distance of `a` and `b` in which swapping two neighbours counts as one edit.
std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The one of `known` closest to the mistyped `name`: at most two edits away,
// and fewer edits than `name` has characters.
std::optional<std::string_view> Closest(std::string_view name, const std::vector<std::string_view>& known)
{
    constexpr std::size_t kMostEdits = 2;
    std::size_t closest = kMostEdits + 1;
    std::optional<std::string_view> suggestion;
    for (const std::string_view candidate : known) {
        const std::size_t distance = EditDistance(name, candidate);
        if (distance < closest && distance < name.size()) {
            closest = distance;
            suggestion = candidate;
        }
    }
    return suggestion;
}

// "--title" for a mistyped "tittle".
std::optional<std::string> ClosestOption(std::string_view name, const std::vector<OptionDefinition>& options)
{
    std::vector<std::string_view> names;
    for (const OptionDefinition& option : options)
        names.push_back(option.longName);
    const auto closest = Closest(name, names);
    return closest ? std::optional<std::string>("--" + std::string(*closest)) : std::nullopt;
}

std::string UnknownOption(const std::string& shown, const std::optional<std::string>& suggestion)
{
    if (!suggestion)
        return Substitute(Tr("unknown option %1"), {shown});
    return Substitute(Tr("unknown option %1; did you mean %2?"), {shown, *suggestion});
}

// The letter at `k` of the group is no short option. "-title" at the start is
// more likely a long option given with one dash than a group.
std::string UnknownShortOption(std::string_view group, std::size_t k, const std::vector<OptionDefinition>& options)
{
    if (k == 0 && group.size() > 2) {
        if (const auto suggestion = ClosestOption(group, options))
            return UnknownOption("-" + std::string(group), suggestion);
    }
    const bool ascii = static_cast<unsigned char>(group[k]) < 0x80;
    return UnknownOption("-" + std::string(ascii ? group.substr(k, 1) : group), std::nullopt);
}

// The option `name` stands for, as getopt_long reads it: the option of that
// name, else the one option whose name begins with it.
const OptionDefinition* MatchLong(const std::vector<OptionDefinition>& options, std::string_view name,
                                  std::string& error)
{
    std::vector<const OptionDefinition*> matches;
    for (const OptionDefinition& option : options) {
        if (option.longName == name)
            return &option;
        if (!name.empty() && option.longName.starts_with(name))
            matches.push_back(&option);
    }
    if (matches.size() == 1)
        return matches.front();
    if (matches.empty()) {
        error = UnknownOption("--" + std::string(name), ClosestOption(name, options));
        return nullptr;
    }
    std::string candidates;
    for (const OptionDefinition* match : matches)
        candidates.append(candidates.empty() ? "--" : ", --").append(match->longName);
    error = Substitute(Tr("option --%1 is ambiguous; it could be %2"), {name, candidates});
    return nullptr;
}

// Where the parser stands: the arguments and the next one to read.
struct Cursor {
    std::span<const std::string> args;
    std::size_t next = 0;
};

// Takes the value of `option`, given as `shown`: attached (`--x=v`, `-ov`) or the next argument.
bool TakeValue(const OptionDefinition& option, std::string_view shown, std::optional<std::string_view> attached,
               Cursor& cursor, ParsedArguments& parsed, std::string& error)
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
    if (cursor.next >= cursor.args.size()) {
        error = Substitute(Tr("option %1 needs a value (%2)"), {shown, option.valueName});
        return false;
    }
    parsed.values[key] = cursor.args[cursor.next++];
    return true;
}

// "--name", "--name=value" or an unambiguous beginning of a name.
bool ReadLongOption(std::string_view body, const std::vector<OptionDefinition>& options, Cursor& cursor,
                    ParsedArguments& parsed, std::string& error)
{
    const std::size_t equals = body.find('=');
    const OptionDefinition* option = MatchLong(options, body.substr(0, equals), error);
    if (!option)
        return false;
    std::optional<std::string_view> attached;
    if (equals != std::string_view::npos)
        attached = body.substr(equals + 1);
    return TakeValue(*option, "--" + std::string(option->longName), attached, cursor, parsed, error);
}

// "-qn", "-qo out.mld", "-qoout.mld": flags one after another; an option that
// takes a value takes the rest of the group, or else the next argument.
bool ReadShortOptions(std::string_view group, const std::vector<OptionDefinition>& options, Cursor& cursor,
                      ParsedArguments& parsed, std::string& error)
{
    for (std::size_t k = 0; k < group.size(); ++k) {
        const auto it = std::find_if(options.begin(), options.end(),
                                     [&](const OptionDefinition& o) { return o.shortName && o.shortName == group[k]; });
        if (it == options.end()) {
            error = UnknownShortOption(group, k, options);
            return false;
        }
        if (!it->valueName.empty()) {
            const std::string_view rest = group.substr(k + 1);
            std::optional<std::string_view> attached;
            if (!rest.empty())
                attached = rest;
            return TakeValue(*it, "-" + std::string(1, it->shortName), attached, cursor, parsed, error);
        }
        parsed.values[std::string(it->longName)] = "";
    }
    return true;
}

// `text` padded with spaces to `width` columns, or followed by two spaces when wider.
std::string Padded(std::string_view text, std::size_t width)
{
    const std::size_t columns = Columns(text);
    return std::string(text) + std::string(columns + 2 <= width ? width - columns : 2, ' ');
}

// "  -o, --output OUT.mld    help", wrapped with the help's column as indent.
std::string OptionLine(const OptionDefinition& option)
{
    constexpr std::size_t kHelpColumn = 26;
    std::string left = option.shortName ? std::string("  -") + option.shortName + ", " : "      ";
    left.append("--").append(option.longName);
    if (option.valueOptional)
        left.append("[=").append(option.valueName).append("]");
    else if (!option.valueName.empty())
        left.append(" ").append(option.valueName);
    return Wrapped(Padded(left, kHelpColumn) + Tr(option.help), kHelpColumn) + '\n';
}

void PrintOptions(const std::vector<OptionDefinition>& options, std::ostringstream& text)
{
    text << Tr("Options:") << '\n';
    for (const OptionDefinition& option : options)
        text << OptionLine(option);
}

void PrintExamples(const std::vector<Example>& examples, std::ostringstream& text)
{
    for (const Example& example : examples)
        text << "  " << example.commandLine << '\n' << Wrapped("      " + std::string(Tr(example.explanation))) << '\n';
}

// The last lines of every help: where problems are reported.
void PrintReportAddress(std::ostringstream& text)
{
    text << '\n'
         << Substitute(Tr("Report problems to: %1"), {QUORBIN_BUG_ADDRESS}) << '\n'
         << Substitute(Tr("%1 home page: <%2>"), {"Quorbin", QUORBIN_HOME_PAGE}) << '\n';
}

void PrintProgramHelp(const std::vector<Subcommand>& table, std::ostream& out)
{
    std::ostringstream text;
    text << Substitute(Tr("Usage: %1 <command> [options] FILE..."), {kProgram}) << '\n'
         << "       " << kProgram << " --help | --version\n\n"
         << Tr("Commands:") << '\n';
    for (const Subcommand& command : table)
        text << Wrapped("  " + Padded(command.name, 12) + Tr(command.summary), 14) << '\n';
    text << '\n';
    PrintOptions({kHelpOption, kVersionOption}, text);
    text << '\n'
         << Substitute(Tr("Run \"%1 <command> --help\" for the options of a command."), {kProgram}) << "\n\n"
         << Tr("Examples:") << '\n';
    for (const Subcommand& command : table)
        PrintExamples(command.examples, text);
    PrintReportAddress(text);
    Say(out, text.str());
}

// Name and version, copyright, licence and warranty, as GNU programs print them.
void PrintVersion(std::ostream& out)
{
    std::ostringstream text;
    text << kProgram << " (Quorbin) " << QUORBIN_VERSION << '\n'
         << "Copyright (C) " << QUORBIN_COPYRIGHT << '\n'
         << "License " << QUORBIN_LICENSE << " (MIT): <https://spdx.org/licenses/MIT.html>\n"
         << Tr("This is free software: you are free to change and redistribute it.\n"
               "There is NO WARRANTY, to the extent permitted by law.")
         << '\n';
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

std::string UnknownCommand(std::string_view name, const std::vector<Subcommand>& table)
{
    std::vector<std::string_view> names = {"help"};
    for (const Subcommand& command : table)
        names.push_back(command.name);
    const auto closest = Closest(name, names);
    if (!closest)
        return Substitute(Tr("unknown command %1"), {name});
    return Substitute(Tr("unknown command %1; did you mean %2?"), {name, *closest});
}

// "--help [COMMAND]" or "--version" before any command.
int RunProgramOption(std::span<const std::string> args, const std::vector<Subcommand>& table, Streams streams)
{
    std::string error;
    const auto parsed = ParseOptions(args.first(1), {kVersionOption}, error);
    if (!parsed)
        return UsageError(streams.err, "", error);
    if (parsed->Has("help"))
        return RunHelp(args.subspan(1), table, streams);
    PrintVersion(streams.out);
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

std::optional<ParsedArguments> ParseOptions(std::span<const std::string> args,
                                            const std::vector<OptionDefinition>& options, std::string& error)
{
    const std::vector<OptionDefinition> all = WithHelp(options);
    ParsedArguments parsed;
    Cursor cursor{args};
    while (cursor.next < args.size()) {
        const std::string_view arg = args[cursor.next++];
        if (arg == "--") {
            parsed.operands.insert(parsed.operands.end(), args.begin() + cursor.next, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-')
            parsed.operands.emplace_back(arg);
        else if (!(arg.starts_with("--") ? ReadLongOption(arg.substr(2), all, cursor, parsed, error)
                                         : ReadShortOptions(arg.substr(1), all, cursor, parsed, error)))
            return std::nullopt;
    }
    return parsed;
}

void PrintSubcommandHelp(const Subcommand& command, std::ostream& out)
{
    std::ostringstream text;
    text << Wrapped(Substitute(Tr("Usage: %1 %2 [options] %3"), {kProgram, command.name, command.operands})) << "\n\n"
         << Wrapped(Tr(command.description)) << "\n\n";
    PrintOptions(WithHelp(command.options), text);
    if (!command.examples.empty()) {
        text << '\n' << Tr("Examples:") << '\n';
        PrintExamples(command.examples, text);
    }
    PrintReportAddress(text);
    Say(out, text.str());
}

int RunCommandLine(std::span<const std::string> args, const std::vector<Subcommand>& table, Streams streams)
{
    if (args.empty())
        return UsageError(streams.err, "", Tr("no command given"));
    const std::string_view first = args[0];
    if (first.starts_with('-') && first != "-")
        return RunProgramOption(args, table, streams);
    if (first == "help")
        return RunHelp(args.subspan(1), table, streams);
    const Subcommand* command = FindSubcommand(table, first);
    if (!command)
        return UsageError(streams.err, "", UnknownCommand(first, table));
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
