// "quorbin-cli info": prints what each melody file holds, one "key: value" a line.
#include <charconv>
#include <cstdio>
#include <ostream>

#include "cli/MelodyCommands.h"
#include "cli/MelodyFile.h"
#include "cli/TerminalText.h"
#include "platform/Cp932.h"

namespace quorbin::cli {

namespace {

// Control characters would break the one-field-a-line layout: show them as \xNN.
std::string EscapeControls(std::string_view utf8)
{
    std::string out;
    for (const char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || ch == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string StoredText(std::string_view cp932, const std::string& codeset)
{
    return FromUtf8(EscapeControls(Cp932ToUtf8(cp932)), codeset);
}

// "20030601" -> "2003-06-01"; anything else as stored.
std::string DateText(const std::string& stored, const std::string& codeset)
{
    const bool digits = stored.size() == 8 && stored.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        return StoredText(stored, codeset);
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
    out << "file: " << name << '\n'
        << "title: " << StoredText(c.title, codeset) << '\n'
        << "copyright: " << StoredText(c.copyright, codeset) << '\n'
        << "protection: " << (c.protectionFlag ? "yes" : "no") << '\n'
        << "version: " << StoredText(c.version, codeset) << '\n'
        << "date: " << DateText(c.date, codeset) << '\n'
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

int RunInfo(const ParsedArguments& arguments, Streams streams)
{
    if (arguments.operands.empty())
        return UsageError(streams.err, "info", "info: no melody file given");
    int firstFailure = 0;
    bool printedOne = false;
    for (const std::string& file : arguments.operands) {
        LoadedMelody melody;
        const int status = LoadMelodyFile(file, melody, streams.err);
        if (status != 0) {
            if (firstFailure == 0) firstFailure = status;
            continue;
        }
        if (printedOne) streams.out << '\n';
        PrintInfo(file, melody, streams.out);
        printedOne = true;
    }
    streams.out.flush();
    return firstFailure;
}

} // namespace

Subcommand InfoSubcommand()
{
    return Subcommand{
        "info",
        "FILE.mld...",
        "show what melody files hold",
        "Prints the fields of each melody file, one \"key: value\" a line, with a blank\n"
        "line between files: file, title, copyright, protection, version, date,\n"
        "software, file-size, sample-rate, audio-bytes, audio-samples, audio-seconds\n"
        "(samples / rate), play-time-ticks, play-time-seconds (the handset's play\n"
        "time, 10 ms a tick) and filler-events. Texts are shown in the terminal's\n"
        "encoding; control characters as \\xNN.\n"
        "A file that lacks the structure this program writes is reported on stderr\n"
        "as \"FILE: what is wrong at offset N\".\n"
        "Exit status: 0 when every file was read; otherwise that of the first\n"
        "failure: 65 for a damaged or foreign file, 66 when a file cannot be opened;\n"
        "64 for a usage error.",
        {},
        RunInfo,
    };
}

} // namespace quorbin::cli
