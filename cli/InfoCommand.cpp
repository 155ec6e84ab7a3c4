// "quorbin-cli info": prints what each melody file holds, one "key: value" a line.
#include <charconv>
#include <cstdio>
#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/MelodyCommands.h"
#include "cli/MelodyFile.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalText.h"
#include "platform/Cp932.h"

namespace quorbin::cli {

namespace {

std::string StoredText(std::string_view cp932, const std::string& codeset)
{
    return FromUtf8(EscapeControls(Cp932ToUtf8(cp932)), codeset);
}

// "20030601" -> "2003-06-01"; nullopt for anything else.
std::optional<std::string> IsoDate(const std::string& stored)
{
    const bool digits = stored.size() == 8 && stored.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        return std::nullopt;
    return stored.substr(0, 4) + "-" + stored.substr(4, 2) + "-" + stored.substr(6, 2);
}

// Fixed-point text that ignores the locale's decimal separator.
std::string Fixed(double value, int decimals)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

void PrintInfo(const std::string& name, const LoadedMelody& melody, std::ostream& out)
{
    const MldContents& c = melody.contents;
    const std::string codeset = TerminalCodeset();
    out << "file: " << ShownName(name) << '\n'
        << "title: " << StoredText(c.title, codeset) << '\n'
        << "copyright: " << StoredText(c.copyright, codeset) << '\n'
        << "protection: " << (c.protectionFlag ? "yes" : "no") << '\n'
        << "version: " << StoredText(c.version, codeset) << '\n'
        << "date: " << IsoDate(c.date).value_or(StoredText(c.date, codeset)) << '\n'
        << "software: " << StoredText(c.software, codeset) << '\n'
        << "file-size: " << melody.bytes.Size() << '\n'
        << "sample-rate: " << c.sampleRate << '\n'
        << "audio-bytes: " << c.audioLength << '\n'
        << "audio-samples: " << 2 * c.audioLength << '\n'
        << "audio-seconds: " << Fixed(c.AudioSeconds(), 3) << '\n'
        << "play-time-ticks: " << c.playTicks << '\n'
        << "play-time-seconds: " << Fixed(c.PlaySeconds(), 2) << '\n'
        << "filler-events: " << c.fillerEvents << '\n';
}

// Seconds rounded as the text form shows them, as a JSON number.
double Rounded(double value, int decimals)
{
    return std::stod(Fixed(value, decimals));
}

// A file name for JSON: UTF-8, or its bytes when it is not text in the
// terminal's encoding (the output marks those with U+FFFD).
std::string JsonName(const std::string& name)
{
    return ToUtf8(name, TerminalCodeset()).value_or(name);
}

// A file name that is not UTF-8 keeps its readable part; U+FFFD marks the rest.
void PrintJsonLine(const nlohmann::ordered_json& object, std::ostream& out)
{
    out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// A file that could not be read, as a line of the same stream:
// {"file": ..., "error": {"message": ..., "reason": ...}}.
void PrintJsonFailure(const std::string& name, const MelodyProblem& problem, std::ostream& out)
{
    PrintJsonLine({{"file", JsonName(name)}, {"error", {{"message", problem.message}, {"reason", problem.reason}}}},
                  out);
}

// The same fields as one JSON object on one line: texts as UTF-8 strings,
// numbers as numbers, the protection as true or false.
void PrintJson(const std::string& name, const LoadedMelody& melody, std::ostream& out)
{
    const MldContents& c = melody.contents;
    const nlohmann::ordered_json object = {
        {"file", JsonName(name)},
        {"title", Cp932ToUtf8(c.title)},
        {"copyright", Cp932ToUtf8(c.copyright)},
        {"protection", c.protectionFlag != 0},
        {"version", Cp932ToUtf8(c.version)},
        {"date", IsoDate(c.date).value_or(Cp932ToUtf8(c.date))},
        {"software", Cp932ToUtf8(c.software)},
        {"file-size", melody.bytes.Size()},
        {"sample-rate", c.sampleRate},
        {"audio-bytes", c.audioLength},
        {"audio-samples", 2 * static_cast<std::uint64_t>(c.audioLength)},
        {"audio-seconds", Rounded(c.AudioSeconds(), 3)},
        {"play-time-ticks", c.playTicks},
        {"play-time-seconds", Rounded(c.PlaySeconds(), 2)},
        {"filler-events", c.fillerEvents},
    };
    PrintJsonLine(object, out);
}

int RunInfo(const ParsedArguments& arguments, Streams streams)
{
    const auto& files = arguments.operands;
    if (files.empty())
        return UsageError(streams.err, "info", Tr("info: no melody file given"));
    if (const std::string problem = StandardInputProblem(files, streams); !problem.empty())
        return UsageError(streams.err, "info", "info: " + problem);
    const bool json = arguments.Has("json");
    int firstFailure = 0;
    bool printedOne = false;
    for (const std::string& file : files) {
        LoadedMelody melody;
        MelodyProblem problem;
        if (const int status = LoadMelodyFile(file, melody, problem); status != 0) {
            if (json) {
                PrintJsonFailure(file, problem, streams.out);
            } else {
                streams.err << ShownName(file) << ": ";
                Say(streams.err, EscapeControls(problem.Text()) + "\n");
                streams.err.flush();
            }
            if (firstFailure == 0)
                firstFailure = status;
            continue;
        }
        if (json) {
            PrintJson(file, melody, streams.out);
        } else {
            if (printedOne)
                streams.out << '\n';
            PrintInfo(file, melody, streams.out);
        }
        printedOne = true;
    }
    if (!streams.out.flush() && firstFailure == 0)
        firstFailure = kExitIoError;
    return firstFailure;
}

}  // namespace

Subcommand InfoSubcommand()
{
    return Subcommand{
        "info",
        "FILE.mld...",
        N_("show what melody files hold"),
        N_("Prints the fields of each melody file, one \"key: value\" a line, with a blank\n"
           "line between files: file, title, copyright, protection, version, date,\n"
           "software, file-size, sample-rate, audio-bytes, audio-samples, audio-seconds\n"
           "(samples / rate), play-time-ticks, play-time-seconds (the handset's play\n"
           "time, 10 ms a tick) and filler-events. Texts are shown in the terminal's\n"
           "encoding; control characters as \\xNN. With --json, each file is one JSON\n"
           "object on one line (JSON Lines) with the same keys, texts in UTF-8; a file\n"
           "that cannot be read is a line {\"file\": ..., \"error\": {\"message\": ...,\n"
           "\"reason\": ...}} there too.\n"
           "\"-\" reads a melody file from standard input.\n"
           "A file that lacks the structure this program writes is reported on stderr\n"
           "as \"FILE: what is wrong at offset N\".\n"
           "Exit status: 0 when every file was read; otherwise that of the first\n"
           "failure: 2 when a file cannot be opened, 65 for a damaged or foreign file,\n"
           "74 when standard output cannot be written; 64 for a usage error (as for\n"
           "\"convert\" and \"decode\")."),
        {
            {"json", 0, "", N_("one JSON object per file and line (JSON Lines)")},
        },
        RunInfo,
        {{"quorbin-cli info --json ringtones/*.mld",
          N_("the fields of every melody file of a folder, a JSON line each")}},
    };
}

}  // namespace quorbin::cli
