#include "cli/ConvertMessages.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>

#include "audio/TimeText.h"
#include "cli/ConvertRequest.h"
#include "cli/Texts.h"
#include "conversion/MelodyLimits.h"
#include "conversion/StepMessages.h"
#include "decode/DecodedExtensions.h"

namespace quorbin::cli {
namespace {

constexpr double kShortestPlayMs = 20;  // a melody plays longer than this

double SecondsOf(std::uint64_t samples, int rate)
{
    return static_cast<double>(samples) / rate;
}

std::string Seconds(double seconds, int decimals)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f s", decimals, seconds);
    return text;
}

// Tenths of a second, or thousandths where tenths would show a length under a
// second as 0.0 s or two different lengths alike.
int DecimalsFor(std::initializer_list<double> seconds)
{
    std::string previous;
    for (const double value : seconds) {
        const std::string shown = Seconds(value, 1);
        if (value < 1 || shown == previous)
            return 3;
        previous = shown;
    }
    return 1;
}

// What was asked for with --length or --end, in seconds.
std::optional<double> AskedLength(const EditOptions& edit)
{
    if (edit.lengthSeconds)
        return edit.lengthSeconds;
    if (edit.endSeconds)
        return *edit.endSeconds - edit.startSeconds;
    return std::nullopt;
}

// Why a selection with a start plays 20 ms or less: the recording ends at or
// soon after the start. Empty when that is not why.
std::string StartReason(const AudioExtent& extent, const EditOptions& edit)
{
    const double start = edit.startSeconds;
    if (start <= 0 || extent.rate <= 0)
        return {};
    if (!extent.recording) {
        return extent.kept == 0
                   ? Substitute(Tr("the start (%1) is at or past the end of the recording"), {FormatTime(start, 3)})
                   : std::string();
    }
    const double end = SecondsOf(*extent.recording, extent.rate);
    if (start >= end) {
        return Substitute(Tr("the start (%1) is at or past the end of the recording (%2)"),
                          {FormatTime(start, 3), FormatTime(end, 3)});
    }
    const double followingMs = (end - start) * 1000;
    if (followingMs > kShortestPlayMs + 0.5)
        return {};
    const auto ms = static_cast<unsigned long>(std::lround(followingMs));
    return Substitute(TrN("only %1 ms of the recording (%2) follows the start (%3)",
                          "only %1 ms of the recording (%2) follow the start (%3)", ms),
                      {std::to_string(ms), FormatTime(end, 3), FormatTime(start, 3)});
}

}  // namespace

std::string FailureText(StepFailure failure, const FailureReason& reason, const std::string& source,
                        const std::string& shownOutput, const AudioExtent& extent, const ConvertRequest& request)
{
    std::string text = LoadString(MessageIdFor(failure), UserLanguage());
    const std::string resample = Tr("; convert with --resample");
    if (reason.kind == ReasonKind::FormatFound) {
        text += " (" + ReasonText(reason, UserLanguage()) + ")" + resample;
    } else if (reason.Given()) {
        text += ": " + ReasonText(reason, UserLanguage());
    }
    const std::string start = failure == StepFailure::TooShort ? StartReason(extent, request.sound.edit) : "";
    if (!start.empty())
        text += ": " + start;
    const std::string extension = std::filesystem::path(source).extension().string();
    if (failure == StepFailure::NotWave && extension.size() > 1 && decode::DecoderReadsExtension(extension.substr(1))) {
        text += resample;
    }
    if (failure == StepFailure::CannotSave || failure == StepFailure::DiskSpace)
        text += " (" + shownOutput + ")";
    return text;
}

std::string CutNote(const AudioExtent& extent, const ConvertRequest& request)
{
    if (!extent.Cut() || extent.rate <= 0)
        return {};
    const bool fit = request.sound.preparation && request.sound.preparation->fit;
    // A lower rate keeps more, down to the lowest rate, which --fit would have chosen.
    const char* advice = extent.rate > decode::kLowestRate && !fit
                             ? N_("use --start/--length, --fit or a lower --rate")
                             : N_("use --start/--length to choose a shorter part");
    const double kept = SecondsOf(extent.kept, extent.rate);
    const double whole = SecondsOf(extent.whole, extent.rate);
    const int decimals = extent.wholeKnown ? DecimalsFor({kept, whole}) : DecimalsFor({kept});
    const std::string holds = Seconds(SecondsOf(kMelodySampleLimit, extent.rate), 1);
    const std::string rate = std::to_string(extent.rate);
    if (!extent.wholeKnown) {
        return Substitute(Tr("note: kept the first %1 of a stream that went on (a melody file holds %2 at %3 Hz); %4"),
                          {Seconds(kept, decimals), holds, rate, Tr(advice)});
    }
    return Substitute(Tr("note: kept the first %1 of %2 (a melody file holds %3 at %4 Hz); %5"),
                      {Seconds(kept, decimals), Seconds(whole, decimals), holds, rate, Tr(advice)});
}

std::string ShortSelectionNote(const AudioExtent& extent, const ConvertRequest& request)
{
    const EditOptions& edit = request.sound.edit;
    const std::optional<double> asked = AskedLength(edit);
    if (!asked || !extent.wholeKnown || extent.rate <= 0
        || extent.whole >= static_cast<std::uint64_t>(std::llround(*asked * extent.rate)))
        return {};
    const double selected = SecondsOf(extent.whole, extent.rate);
    const double end = extent.recording ? SecondsOf(*extent.recording, extent.rate) : edit.startSeconds + selected;
    const int decimals = DecimalsFor({selected, *asked});
    return Substitute(Tr("note: the recording ends at %1, so the selection holds %2, not the %3 asked for"),
                      {FormatTime(end, decimals), Seconds(selected, decimals), Seconds(*asked, decimals)});
}

std::string DryRunText(const AudioExtent& extent, std::uint32_t size, const std::string& shownOutput)
{
    const double kept = SecondsOf(extent.kept, extent.rate);
    const double whole = SecondsOf(extent.whole, extent.rate);
    const std::string rate = std::to_string(extent.rate);
    const std::string bytes = std::to_string(size);
    const std::string report = FormatSizeReport(size, UserLanguage());
    if (!extent.wholeKnown) {
        const int decimals = DecimalsFor({kept});
        return Substitute(Tr("would write %1: %2 Hz, %3 of a stream that went on, %4 bytes (%5)"),
                          {shownOutput, rate, Seconds(kept, decimals), bytes, report});
    }
    const int decimals = extent.Cut() ? DecimalsFor({kept, whole}) : DecimalsFor({kept});
    return Substitute(Tr("would write %1: %2 Hz, %3 of %4, %5 bytes (%6)"),
                      {shownOutput, rate, Seconds(kept, decimals), Seconds(whole, decimals), bytes, report});
}

}  // namespace quorbin::cli
