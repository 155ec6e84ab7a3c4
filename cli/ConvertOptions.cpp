#include "cli/ConvertOptions.h"

#include <charconv>
#include <cmath>

#include "cli/Texts.h"

namespace quorbin::cli {
namespace {

constexpr double kDefaultTrimDb = 50;

std::optional<double> ParseNumber(std::string_view text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

constexpr Text kTimeUnit{"a time (seconds, or m:ss.fff)", "時間（秒、または m:ss.fff）"};
constexpr Text kMillisecondsUnit{"a number of milliseconds", "ミリ秒の数"};

bool ReadNumberOption(const ParsedArguments& arguments, std::string_view option, const Text& unit,
                      std::optional<double>& value, std::string& problem)
{
    const auto raw = arguments.Value(option);
    if (!raw)
        return true;
    value = &unit == &kTimeUnit ? ParseTime(*raw) : ParseNumber(*raw);
    if (!value)
        problem = "--" + std::string(option) + Tr({" needs ", " には "}) + Tr(unit) + Tr({", not \"", "が必要です: \""})
                  + *raw + "\"";
    return value.has_value();
}

}  // namespace

std::vector<OptionSpec> SoundOptionSpecs()
{
    return {
        {"resample",
         0,
         "",
         {"accept any recording: mono, resampled to 8000 Hz, 16 bits",
          "どんな録音も受け付ける: モノラル、8000 Hz にリサンプル、16 ビット"}},
        {"rate", 0, "HZ", {"as --resample, to HZ (4000 to 16000)", "--resample と同じで HZ に（4000 ～ 16000）"}},
        {"normalize",
         0,
         "",
         {"as --resample, keeping a rate of 4000 to 16000 Hz; peak at -1 dBFS",
          "--resample と同じで 4000 ～ 16000 Hz の周波数は保つ。ピークを -1 dBFS に"}},
        {"fit",
         0,
         "",
         {"resample as needed, to the highest rate at which the whole selection fits",
          "必要ならリサンプルし、選んだ部分が全部入る最も高い周波数にする"}},
        {"start", 0, "TIME", {"begin at TIME (seconds, or m:ss.fff)", "TIME から始める（秒、または m:ss.fff）"}},
        {"length", 0, "TIME", {"keep TIME from the start", "開始から TIME の長さを使う"}},
        {"end", 0, "TIME", {"keep up to TIME", "TIME までを使う"}},
        {"trim-silence",
         0,
         "DB",
         {"drop leading and trailing sound quieter than DB dB below full scale (default 50)",
          "最大レベルより DB dB 以上小さい前後の音を除く（既定 50）"},
         true},
        {"fade-in",
         0,
         "MS",
         {"fade in over the first MS milliseconds kept", "残す部分の最初の MS ミリ秒でフェードイン"}},
        {"fade-out",
         0,
         "MS",
         {"fade out over the last MS milliseconds kept", "残す部分の最後の MS ミリ秒でフェードアウト"}},
    };
}

std::optional<double> ParseTime(std::string_view text)
{
    double seconds = 0;
    for (int field = 0; field < 3; ++field) {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            const auto last = ParseNumber(text);
            if (!last || (field > 0 && *last >= 60))
                return std::nullopt;
            return seconds * 60 + *last;
        }
        const std::string_view part = text.substr(0, colon);
        int value = 0;
        const auto [stop, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || stop != part.data() + part.size() || value < 0
            || (field > 0 && value >= 60))
            return std::nullopt;
        seconds = seconds * 60 + value;
        text.remove_prefix(colon + 1);
    }
    return std::nullopt;
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
            problem = Tr({"--rate must be a whole number of hertz from 4000 to 16000, not \"",
                          "--rate には 4000 ～ 16000 の整数 (Hz) が必要です: \""})
                      + *rate + "\"";
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
    std::optional<double> start, fadeIn, fadeOut;
    if (!ReadNumberOption(arguments, "start", kTimeUnit, start, problem)
        || !ReadNumberOption(arguments, "length", kTimeUnit, edit.lengthSeconds, problem)
        || !ReadNumberOption(arguments, "end", kTimeUnit, edit.endSeconds, problem)
        || !ReadNumberOption(arguments, "fade-in", kMillisecondsUnit, fadeIn, problem)
        || !ReadNumberOption(arguments, "fade-out", kMillisecondsUnit, fadeOut, problem))
        return std::nullopt;
    edit.startSeconds = start.value_or(0);
    edit.fadeInMs = fadeIn.value_or(0);
    edit.fadeOutMs = fadeOut.value_or(0);
    if (edit.lengthSeconds && edit.endSeconds) {
        problem = Tr({"--length and --end cannot be given together", "--length と --end は同時に使えません"});
        return std::nullopt;
    }
    if (edit.endSeconds && *edit.endSeconds < edit.startSeconds) {
        problem = Tr({"the selection ends before it starts (--end is before --start)",
                      "範囲が始まる前に終わっています（--end が --start より前です）"});
        return std::nullopt;
    }
    if (const auto trim = arguments.Value("trim-silence")) {
        edit.trimBelowDb = trim->empty() ? std::optional<double>(kDefaultTrimDb) : ParseNumber(*trim);
        if (!edit.trimBelowDb || *edit.trimBelowDb <= 0) {
            problem = Tr({"--trim-silence takes a level in dB above 0, not \"",
                          "--trim-silence には 0 より大きい dB の値が必要です: \""})
                      + *trim + "\"";
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
