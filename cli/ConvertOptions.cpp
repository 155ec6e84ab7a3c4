#include "cli/ConvertOptions.h"

#include <charconv>
#include <cmath>

#include "audio/TimeText.h"
#include "cli/Texts.h"
#include "conversion/MelodyLimits.h"

namespace quorbin::cli {
namespace {

constexpr double kDefaultTrimDb = 50;

// What a numeric option takes: its description for the user and its parser.
struct NumberKind {
    const char* unit;  // English; translated when shown
    std::optional<double> (*parse)(std::string_view text);
};
constexpr NumberKind kTime{N_("a time (seconds, or m:ss.fff)"), ParseTime};
constexpr NumberKind kMilliseconds{N_("a number of milliseconds"), ParseDecimal};

bool ReadNumberOption(const ParsedArguments& arguments, std::string_view option, const NumberKind& kind,
                      std::optional<double>& value, std::string& problem)
{
    const auto raw = arguments.Value(option);
    if (!raw)
        return true;
    value = kind.parse(*raw);
    if (!value)
        problem = Substitute(Tr("--%1 needs %2, not \"%3\""), {option, Tr(kind.unit), *raw});
    return value.has_value();
}

}  // namespace

std::vector<OptionDefinition> SoundOptionDefinitions()
{
    return {
        {"resample", 0, "", N_("accept any recording: mono, resampled to 8000 Hz, 16 bits")},
        {"rate", 0, "HZ", N_("as --resample, to HZ (4000 to 16000)")},
        {"normalize", 0, "", N_("as --resample, keeping a rate of 4000 to 16000 Hz; peak at -1 dBFS")},
        {"fit", 0, "", N_("resample as needed, to the highest rate at which the whole selection fits")},
        {"start", 0, "TIME", N_("begin at TIME (seconds, or m:ss.fff)")},
        {"length", 0, "TIME", N_("keep TIME from the start")},
        {"end", 0, "TIME", N_("keep up to TIME")},
        {"trim-silence", 0, "DB",
         N_("drop leading and trailing sound quieter than DB dB below full scale (default 50)"), true},
        {"fade-in", 0, "MS", N_("fade in over the first MS milliseconds kept")},
        {"fade-out", 0, "MS", N_("fade out over the last MS milliseconds kept")},
    };
}

std::optional<decode::PreparationOptions> PreparationFromOptions(bool resample, const std::optional<std::string>& rate,
                                                                 bool normalize, std::string& problem)
{
    if (!resample && !rate && !normalize)
        return std::nullopt;
    decode::PreparationOptions options;
    options.normalize = normalize;
    if (resample)
        options.targetRate = decode::kDefaultRate;
    if (rate) {
        int hertz = 0;
        const char* end = rate->data() + rate->size();
        const auto [stop, error] = std::from_chars(rate->data(), end, hertz);
        if (error != std::errc() || stop != end || hertz < decode::kLowestRate || hertz > decode::kHighestRate) {
            problem = Substitute(Tr("--rate must be a whole number of hertz from 4000 to 16000, not \"%1\""), {*rate});
            return std::nullopt;
        }
        options.targetRate = hertz;
    }
    return options;
}

std::optional<SoundRequest> ReadSoundRequest(const ParsedArguments& arguments, std::string& problem)
{
    SoundRequest request;
    const bool fit = arguments.Has("fit");
    request.preparation = PreparationFromOptions(arguments.Has("resample") || fit, arguments.Value("rate"),
                                                 arguments.Has("normalize"), problem);
    if (!problem.empty())
        return std::nullopt;
    if (fit && !arguments.Has("resample") && !arguments.Value("rate"))
        request.preparation->targetRate.reset();

    EditOptions& edit = request.edit;
    edit.limit = kMelodySampleLimit;
    std::optional<double> start, fadeIn, fadeOut;
    if (!ReadNumberOption(arguments, "start", kTime, start, problem)
        || !ReadNumberOption(arguments, "length", kTime, edit.lengthSeconds, problem)
        || !ReadNumberOption(arguments, "end", kTime, edit.endSeconds, problem)
        || !ReadNumberOption(arguments, "fade-in", kMilliseconds, fadeIn, problem)
        || !ReadNumberOption(arguments, "fade-out", kMilliseconds, fadeOut, problem))
        return std::nullopt;
    edit.startSeconds = start.value_or(0);
    edit.fadeInMs = fadeIn.value_or(0);
    edit.fadeOutMs = fadeOut.value_or(0);
    if (edit.lengthSeconds && edit.endSeconds) {
        problem = Tr("--length and --end cannot be given together");
        return std::nullopt;
    }
    if (edit.endSeconds && *edit.endSeconds < edit.startSeconds) {
        problem = Tr("the selection ends before it starts (--end is before --start)");
        return std::nullopt;
    }
    if (const auto trim = arguments.Value("trim-silence")) {
        edit.trimBelowDb = trim->empty() ? std::optional<double>(kDefaultTrimDb) : ParseDecimal(*trim);
        if (!edit.trimBelowDb || *edit.trimBelowDb <= 0) {
            problem = Substitute(Tr("--trim-silence takes a level in dB above 0, not \"%1\""), {*trim});
            return std::nullopt;
        }
    }
    if (request.preparation) {
        request.preparation->fit = fit;
        request.preparation->edit = edit;
    }
    return request;
}

}  // namespace quorbin::cli
