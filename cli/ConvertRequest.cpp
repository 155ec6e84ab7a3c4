#include "cli/ConvertRequest.h"

#include <cstdlib>

#include "cli/DateOption.h"
#include "cli/TerminalText.h"
#include "mld/MldFormat.h"
#include "platform/Cp932.h"

namespace quorbin::cli {
namespace {

namespace fs = std::filesystem;

// The CP932 text of --title or --copyright; with --cut-texts, one over `limit`
// is cut and a note in `notes` says what was kept.
std::optional<std::string> TextOption(const ParsedArguments& arguments, std::string_view option, std::size_t limit,
                                      const std::string& codeset, std::vector<std::string>& notes, std::string& problem)
{
    const auto raw = arguments.Value(option);
    if (!raw)
        return std::nullopt;
    const auto utf8 = ToUtf8(*raw, codeset);
    if (!utf8) {
        problem = Substitute(Tr("--%1 is not valid text in the terminal's encoding (%2)"), {option, codeset});
        return std::nullopt;
    }
    const bool cut = arguments.Has("cut-texts");
    std::optional<std::string> cp932 =
        OptionTextToCp932(option, *utf8, cut ? std::string::npos : limit, arguments.Has("transliterate"), problem);
    if (!cp932 || cp932->size() <= limit)
        return cp932;
    // Cut as the window cuts a typed text: at the limit, on a whole character.
    cp932->resize(Cp932PrefixLength(*cp932, limit));
    const std::size_t characters = Cp932Characters(*cp932);
    notes.push_back(
        Substitute(TrN("note: --%1 cut at %2 bytes in CP932 to its first %3 character: \"%4\"",
                       "note: --%1 cut at %2 bytes in CP932 to its first %3 characters: \"%4\"", characters),
                   {option, std::to_string(limit), std::to_string(characters), Cp932ToUtf8(*cp932)}));
    return cp932;
}

// -o FILE, -o DIR, --output-dir DIR and "-" on either side.
bool ReadOutput(const ParsedArguments& arguments, const Streams& streams, ConvertRequest& request, std::string& problem)
{
    const auto& files = arguments.operands;
    const auto output = arguments.Value("output");
    const auto folder = arguments.Value("output-dir");
    std::error_code ec;
    if (output && folder) {
        problem = Tr("-o and --output-dir cannot be used together");
    } else if (folder) {
        if (!fs::is_directory(*folder, ec)) {
            problem = Substitute(Tr("--output-dir: no such folder: %1"), {*folder});
        }
        request.outputFolder = *folder;
    } else if (output && !IsStandardStream(*output) && !output->empty() && fs::is_directory(*output, ec)) {
        request.outputFolder = *output;
    } else if (output && output->ends_with('/')) {
        problem = Substitute(Tr("-o: no such folder: %1"), {*output});
    } else if (output) {
        if (files.size() != 1 || output->empty()) {
            problem = Tr("-o needs exactly one input file and a non-empty name (or an existing folder)");
        }
        request.output = *output;
    }
    if (problem.empty())
        problem = StandardStreamProblem(files, request.output.empty() ? std::nullopt : output, streams, "OUT.mld");
    if (problem.empty() && request.ToStandardOutput() && arguments.Has("preview")) {
        problem = Tr("--preview needs a melody file on disk, not -o -");
    }
    return problem.empty();
}

std::optional<EncoderQuality> QualityOption(const ParsedArguments& arguments, std::string& problem)
{
    const auto value = arguments.Value("quality");
    if (!value || *value == "standard")
        return EncoderQuality::Standard;
    if (*value == "high")
        return EncoderQuality::High;
    problem = Tr("--quality must be \"standard\" or \"high\"");
    return std::nullopt;
}

}  // namespace

std::optional<ConvertRequest> ReadRequest(const ParsedArguments& arguments, const Streams& streams,
                                          std::string& problem)
{
    if (arguments.operands.empty()) {
        problem = Tr("no WAVE file given");
        return std::nullopt;
    }
    ConvertRequest request;
    auto sound = ReadSoundRequest(arguments, problem);
    if (!sound)
        return std::nullopt;
    request.sound = std::move(*sound);
    request.dryRun = arguments.Has("dry-run");
    if (!ReadOutput(arguments, streams, request, problem))
        return std::nullopt;
    const std::string codeset = TerminalCodeset();
    request.title = TextOption(arguments, "title", mld::kMaxTitleBytes, codeset, request.notes, problem);
    if (!problem.empty())
        return std::nullopt;
    request.copyright =
        TextOption(arguments, "copyright", mld::kMaxCopyrightBytes, codeset, request.notes, problem).value_or("");
    if (!problem.empty())
        return std::nullopt;
    request.protect = arguments.Has("protect");
    request.preview = arguments.Has("preview");
    request.noClobber = arguments.Has("no-clobber");
    request.skipExisting = arguments.Has("skip-existing");
    if (request.noClobber && request.skipExisting) {
        problem = Tr("-n and --skip-existing cannot be used together");
        return std::nullopt;
    }
    request.quiet = arguments.Has("quiet");
    request.decoding.verbose = arguments.Has("verbose");
    const auto quality = QualityOption(arguments, problem);
    if (!quality)
        return std::nullopt;
    request.quality = *quality;
    const auto date = ChooseDate(arguments.Value("date"), std::getenv("SOURCE_DATE_EPOCH"), problem);
    if (!date)
        return std::nullopt;
    request.date = *date;
    return request;
}

}  // namespace quorbin::cli
