#include "cli/ConvertCommand.h"

#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "cli/DateOption.h"
#include "cli/MelodyCommands.h"
#include "cli/TerminalText.h"
#include "cli/prepare/AudioPreparation.h"

namespace quorbin::cli {
namespace {

constexpr std::size_t kTitleLimit = 50;
constexpr std::size_t kCopyrightLimit = 256;

// What the options ask for, checked before any file is touched.
struct ConvertRequest {
    std::optional<std::string> title;  // CP932; none: the file name
    std::string copyright;             // CP932
    bool protect = false;
    std::string date;                  // empty: today
    std::filesystem::path output;
    bool preview = false;              // also write NAME.preview.wav beside the melody file
    std::optional<prepare::PreparationOptions> preparation;  // none: a native WAVE file only
};

std::optional<std::string> TextOption(const ParsedArguments& arguments, std::string_view option,
                                      std::size_t limit, const std::string& codeset, std::string& problem) {
    const auto raw = arguments.Value(option);
    if (!raw) return std::nullopt;
    const auto utf8 = ToUtf8(*raw, codeset);
    if (!utf8) {
        problem = "--" + std::string(option) + " is not valid text in the terminal's encoding (" + codeset + ")";
        return std::nullopt;
    }
    return OptionTextToCp932(option, *utf8, limit, problem);
}

std::optional<ConvertRequest> ReadRequest(const ParsedArguments& arguments, std::string& problem) {
    if (arguments.operands.empty()) {
        problem = "convert: no WAVE file given";
        return std::nullopt;
    }
    ConvertRequest request;
    if (const auto output = arguments.Value("output")) {
        if (arguments.operands.size() != 1 || output->empty()) {
            problem = "convert: -o needs exactly one input file and a non-empty name";
            return std::nullopt;
        }
        request.output = *output;
    }
    const std::string codeset = TerminalCodeset();
    request.title = TextOption(arguments, "title", kTitleLimit, codeset, problem);
    if (!problem.empty()) return std::nullopt;
    request.copyright = TextOption(arguments, "copyright", kCopyrightLimit, codeset, problem).value_or("");
    if (!problem.empty()) return std::nullopt;
    request.protect = arguments.Has("protect");
    request.preview = arguments.Has("preview");
    const auto date = ChooseDate(arguments.Value("date"), std::getenv("SOURCE_DATE_EPOCH"), problem);
    if (!date) return std::nullopt;
    request.date = *date;
    request.preparation = prepare::PreparationFromOptions(arguments.Has("resample"), arguments.Value("rate"),
                                                          arguments.Has("normalize"), problem);
    if (!problem.empty()) return std::nullopt;
    return request;
}

// "FILE: message", with the reason after the message when the steps give one.
void PrintFailure(const std::string& file, StepFailure failure, const FailureReason& reason, Language language,
                  const std::string& codeset, std::ostream& err) {
    std::string line = LoadString(MessageIdFor(failure), language);
    if (reason.Given()) line += ": " + ReasonText(reason);
    err << file << ": " << FromUtf8(line, codeset) << std::endl;
}

// Converts one file and prints its outcome line; returns the string id of the outcome,
// or the exit status of a preview that could not be written.
int ConvertOne(const std::string& file, const ConvertRequest& request, Language language,
               const std::string& codeset, Streams streams) {
    ConversionOptions options;
    options.outputPath = request.output;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    ConversionSteps steps(ec ? file : full.string(), options);

    const auto decode = [&request](const std::string& path, ByteBuffer& wave) {
        return prepare::PrepareWaveBytes(path, *request.preparation, wave);
    };
    StepFailure failure = request.preparation ? steps.PrepareDecoded(decode) : steps.Prepare();
    if (failure == StepFailure::None) {
        ContentInfo info;
        info.title = request.title.value_or(steps.DefaultTitle());
        info.copyright = request.copyright;
        info.protectionFlag = request.protect ? 1 : 0;
        info.date = request.date;
        failure = steps.Finish(info);
    }
    if (failure != StepFailure::None) {
        PrintFailure(file, failure, steps.Reason(), language, codeset, streams.err);
        return MessageIdFor(failure);
    }
    streams.out << file << ": " << FromUtf8(steps.ReportText(language), codeset) << std::endl;
    if (request.preview) {
        const int status = WriteDecodedWave(steps.OutputPath(), PreviewPathFor(steps.OutputPath()), streams);
        if (status != 0) return status;
    }
    return IDS_OUTPUT_SIZE;
}

int RunConvert(const ParsedArguments& arguments, Streams streams) {
    std::string problem;
    const auto request = ReadRequest(arguments, problem);
    if (!request) return UsageError(streams.err, "convert", problem);

    const Language language = LanguageFromEnvironment();
    const std::string codeset = TerminalCodeset();
    int firstFailure = 0;
    for (const std::string& file : arguments.operands) {
        const int outcome = ConvertOne(file, *request, language, codeset, streams);
        if (outcome != IDS_OUTPUT_SIZE && firstFailure == 0) firstFailure = outcome;
    }
    return firstFailure;
}

} // namespace

Subcommand ConvertSubcommand() {
    return Subcommand{
        "convert",
        "FILE.wav...",
        "convert WAVE recordings into melody files (.mld)",
        "Converts each 16-bit mono PCM WAVE file (4000 to 16000 Hz) into a melody file\n"
        "beside it, with the same name and the extension \".mld\".\n\n"
        "With --resample, --rate or --normalize, any recording that libsndfile reads\n"
        "(WAVE of any sample format, FLAC, Ogg Vorbis, AIFF, ...) is mixed down to mono,\n"
        "resampled and rounded to 16 bits first; the melody file gets the source's name\n"
        "with the extension \".mld\". Only the first 131054 samples reach the file.\n\n"
        "With --preview, the sound as the melody file holds it is also written beside\n"
        "the melody file as NAME.preview.wav (see \"decode\"); the melody file is only read.\n\n"
        "Exit status: 0 when every file was converted, otherwise the number of the\n"
        "first failure's message (2 to 9), or 65, 66 or 73 when a preview could not be\n"
        "written (as for \"decode\"); 64 for a usage error.",
        {
            {"title", 0, "TEXT", "title, at most 50 bytes in CP932 (default: the file name)"},
            {"copyright", 0, "TEXT", "copyright text, at most 256 bytes in CP932 (default: none)"},
            {"protect", 0, "", "mark the melody file as protected"},
            {"date", 0, "YYYYMMDD", "date of making (default: SOURCE_DATE_EPOCH in UTC, else today)"},
            {"output", 'o', "OUT.mld", "write the melody file here (one input file only)"},
            {"preview", 0, "", "also write the decoded sound as NAME.preview.wav beside it"},
            {"resample", 0, "", "accept any recording: mono, resampled to 8000 Hz, 16 bits"},
            {"rate", 0, "HZ", "as --resample, to HZ (4000 to 16000)"},
            {"normalize", 0, "", "as --resample, keeping a rate of 4000 to 16000 Hz; peak at -1 dBFS"},
        },
        RunConvert,
    };
}

} // namespace quorbin::cli
