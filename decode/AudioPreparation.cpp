#include "decode/AudioPreparation.h"

#include <algorithm>
#include <cmath>

#include "decode/FrameReader.h"
#include "decode/MonoResampler.h"

namespace quorbin::decode {
namespace {

constexpr std::size_t kWholeBlockSamples = 16384;

int ChooseRate(const PreparationOptions& options, int sourceRate)
{
    if (options.targetRate)
        return *options.targetRate;
    const bool accepted = sourceRate >= kLowestRate && sourceRate <= kHighestRate;
    return accepted ? sourceRate : kDefaultRate;
}

// Decodes from the start at `rate` and edits; false on a read error.
bool EditAtRate(const std::filesystem::path& source, int rate, const EditOptions& edit, EditedRecording& out,
                PreparationStatus& status)
{
    OpenStatus opened = OpenStatus::Ok;
    const std::unique_ptr<FrameReader> reader = OpenFrameReader(source, opened);
    if (!reader) {
        status = opened == OpenStatus::CannotOpen ? PreparationStatus::CannotOpen : PreparationStatus::Unreadable;
        return false;
    }
    const std::unique_ptr<SampleStream> mono = MakeMonoStream(*reader, rate);
    status = PreparationStatus::Unreadable;
    return mono && EditRecording(*mono, edit, out);
}

// The highest rate at which `selected` samples at `rate` fit in `limit`, at least kLowestRate.
int FittingRate(std::uint64_t selected, int rate, std::size_t limit)
{
    const double fitting = std::floor(static_cast<double>(limit) * rate / static_cast<double>(selected));
    return std::clamp(static_cast<int>(fitting), kLowestRate, rate);
}

}  // namespace

PreparationStatus PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options,
                                   PreparedRecording& out)
{
    OpenStatus opened = OpenStatus::Ok;
    int rate = 0;
    {
        const std::unique_ptr<FrameReader> reader = OpenFrameReader(source, opened);
        if (!reader)
            return opened == OpenStatus::CannotOpen ? PreparationStatus::CannotOpen : PreparationStatus::Unreadable;
        out.sourceRate = reader->Rate();
        out.sourceChannels = reader->Channels();
        rate = ChooseRate(options, reader->Rate());
    }
    EditOptions edit = options.edit;
    edit.normalize = options.normalize;
    EditOptions measure = edit;
    // With --fit, long enough to hold whatever still fits at the lowest rate.
    if (options.fit)
        measure.limit = edit.limit * static_cast<std::size_t>(rate) / kLowestRate + 1;
    PreparationStatus status = PreparationStatus::Ok;
    EditedRecording edited;
    if (!EditAtRate(source, rate, measure, edited, status))
        return status;
    if (options.fit && edited.selectedSamples > edit.limit) {
        rate = FittingRate(edited.selectedSamples, rate, edit.limit);
        // Rounding may leave one sample over: then one hertz lower.
        for (int attempt = 0; attempt < 3; ++attempt, --rate) {
            if (!EditAtRate(source, rate, edit, edited, status))
                return status;
            if (!edited.Dropped() || rate == kLowestRate)
                break;
        }
    }
    out.samples = std::move(edited.samples);
    out.sampleRate = edited.rate;
    out.selectedSamples = edited.selectedSamples;
    return PreparationStatus::Ok;
}

PreparationStatus DecodeWhole(const std::filesystem::path& source, int rate, const SampleBlockSink& sink)
{
    OpenStatus opened = OpenStatus::Ok;
    const std::unique_ptr<FrameReader> reader = OpenFrameReader(source, opened);
    if (!reader)
        return opened == OpenStatus::CannotOpen ? PreparationStatus::CannotOpen : PreparationStatus::Unreadable;
    const std::unique_ptr<SampleStream> mono = MakeMonoStream(*reader, rate);
    if (!mono)
        return PreparationStatus::Unreadable;
    std::vector<float> block(kWholeBlockSamples);
    std::vector<std::int16_t> samples(kWholeBlockSamples);
    for (;;) {
        std::size_t got = 0;
        if (!mono->Read(block, got))
            return PreparationStatus::Unreadable;
        std::transform(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got), samples.begin(), ToSample16);
        if (got == 0 || !sink({samples.data(), got}) || got < block.size())
            return PreparationStatus::Ok;
    }
}

}  // namespace quorbin::decode
