#include "decode/AudioPreparation.h"

#include <algorithm>
#include <cmath>

#include "decode/FrameTape.h"
#include "decode/MonoResampler.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSource.h"

namespace quorbin::decode {
namespace {

// What a second reading may go back over without decoding again: 16 MiB of
// mono samples, 95 s at 44.1 kHz, so that decoding stays well within 64 MiB.
constexpr std::size_t kTapeSamples = 4u << 20;
constexpr std::size_t kWholeBlockSamples = 16384;

int ChooseRate(const PreparationOptions& options, int sourceRate)
{
    if (options.targetRate)
        return *options.targetRate;
    const bool accepted = sourceRate >= kLowestRate && sourceRate <= kHighestRate;
    return accepted ? sourceRate : kDefaultRate;
}

FailureReason ReasonOf(OpenStatus opened)
{
    return FailureReason::Of(opened == OpenStatus::Refused ? ReasonKind::NotAudioFile : ReasonKind::Undecodable);
}

// The readings of a recording, each from its first frame. Those after the
// first replay its tape; when that could not keep what was read, a regular
// file is opened afresh.
class RecordingPasses {
public:
    RecordingPasses(const RecordingInput& input, bool readAgain) : m_input(input), m_readAgain(readAgain) {}

    // Null with `failure` set when no decoder reads the recording. No reading
    // seeks further back than to skip to `startSeconds`.
    std::unique_ptr<FrameReader> First(FailureReason& failure, double startSeconds = 0)
    {
        OpenStatus opened = OpenStatus::Ok;
        std::unique_ptr<FrameReader> reader = OpenFrameReader(m_input, opened);
        failure = ReasonOf(opened);
        if (reader)
            m_sourceChannels = reader->Channels();
        if (!reader || !m_readAgain)
            return reader;
        m_tape = std::make_unique<FrameTape>(std::move(reader), kTapeSamples);
        m_tape->KeepFrom(EarliestSeekFrame(startSeconds, m_tape->Rate()));
        return m_tape->Rewound();
    }

    std::unique_ptr<FrameReader> Again(FailureReason& failure)
    {
        if (std::unique_ptr<FrameReader> replay = m_tape ? m_tape->Rewound() : nullptr)
            return replay;
        if (!m_input.Seekable()) {
            failure = FailureReason::Of(ReasonKind::StreamTooLongForFit);
            return nullptr;
        }
        OpenStatus opened = OpenStatus::Ok;
        std::unique_ptr<FrameReader> reader = OpenFrameReader(m_input, opened);
        failure = ReasonOf(opened);
        return reader;
    }

    // Of the recording itself; a reading of the tape has one.
    int SourceChannels() const { return m_sourceChannels; }

private:
    const RecordingInput& m_input;
    bool m_readAgain;
    int m_sourceChannels = 0;
    std::unique_ptr<FrameTape> m_tape;
};

// Decodes `reader` at `rate` and edits; false on a read error.
bool EditAtRate(FrameReader& reader, int rate, const EditOptions& edit, EditedRecording& out)
{
    const std::unique_ptr<SampleStream> mono = MakeMonoStream(reader, rate);
    return mono && EditRecording(*mono, edit, out);
}

// The highest rate at which `selected` samples at `rate` fit in `limit`, at least kLowestRate.
int FittingRate(std::uint64_t selected, int rate, std::size_t limit)
{
    const double fitting = std::floor(static_cast<double>(limit) * rate / static_cast<double>(selected));
    return std::clamp(static_cast<int>(fitting), kLowestRate, rate);
}

// How much a container's stated length may be off.
constexpr double kStatedLengthMargin = 1.0;

// The length at `rate` of a selection that a length or an end bounds and that
// ends well within the stated length of `reader`; none where only reading
// tells it (or a trim decides it).
std::optional<std::uint64_t> StatedSelection(const EditOptions& edit, const FrameReader& reader, int rate)
{
    const std::optional<std::uint64_t> wanted = WantedSamples(edit, rate);
    const std::optional<std::uint64_t> frames = reader.StatedFrames();
    if (edit.trimBelowDb || !wanted || !frames)
        return std::nullopt;
    const double end = edit.startSeconds + static_cast<double>(*wanted) / rate + kStatedLengthMargin;
    if (end > static_cast<double>(*frames) / reader.Rate())
        return std::nullopt;
    return wanted;
}

}  // namespace

Result<PreparedRecording> PrepareRecording(const RecordingInput& input, const PreparationOptions& options)
{
    RecordingPasses passes(input, options.fit);
    FailureReason failure;
    // A trim decides where the selection starts only once it has read up to there.
    std::unique_ptr<FrameReader> reader =
        passes.First(failure, options.edit.trimBelowDb ? 0 : options.edit.startSeconds);
    if (!reader)
        return failure;
    PreparedRecording out;
    out.sourceRate = reader->Rate();
    out.sourceChannels = passes.SourceChannels();
    int rate = ChooseRate(options, reader->Rate());
    EditOptions edit = options.edit;
    edit.normalize = options.normalize;
    EditedRecording edited;
    // Where the stated length shows the selection's, --fit decodes only at the rate it fits in.
    std::optional<std::uint64_t> selected = options.fit ? StatedSelection(edit, *reader, rate) : std::nullopt;
    for (bool measure = !selected || *selected <= edit.limit;; measure = true) {
        if (measure) {
            EditOptions measuring = edit;
            // With --fit, long enough to hold whatever still fits at the lowest rate.
            if (options.fit)
                measuring.limit = edit.limit * static_cast<std::size_t>(rate) / kLowestRate + 1;
            if (!reader && !(reader = passes.Again(failure)))
                return failure;
            if (!EditAtRate(*reader, rate, measuring, edited))
                return ReasonKind::Undecodable;
            selected = edited.selectedSamples;
            reader.reset();
        }
        if (!options.fit || *selected <= edit.limit)
            break;
        rate = FittingRate(*selected, rate, edit.limit);
        // Rounding may leave one sample over: then one hertz lower.
        for (int attempt = 0; attempt < 3; ++attempt, --rate) {
            if (!reader && !(reader = passes.Again(failure)))
                return failure;
            if (!EditAtRate(*reader, rate, edit, edited))
                return ReasonKind::Undecodable;
            reader.reset();
            if (!edited.Dropped() || rate == kLowestRate)
                break;
        }
        if (measure || edited.selectedSamples == WantedSamples(edit, rate))
            break;
        rate = ChooseRate(options, out.sourceRate);  // the recording ended before its stated length
    }
    out.samples = std::move(edited.samples);
    out.sampleRate = edited.rate;
    out.selectedSamples = edited.selectedSamples;
    out.selectionKnown = edited.selectionKnown;
    out.recordingSamples = edited.recordingSamples;
    return out;
}

Result<PreparedRecording> PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options)
{
    const Result<FileDescriptor> fd = OpenRegularFile(source);
    if (!fd)
        return fd.Reason();
    const RecordingInput input{fd->Get(), RegularFileSize(fd->Get()), source.filename().string()};
    return PrepareRecording(input, options);
}

Result<> DecodeWhole(const RecordingInput& input, int rate, const SampleBlockSink& sink)
{
    OpenStatus opened = OpenStatus::Ok;
    const std::unique_ptr<FrameReader> reader = OpenFrameReader(input, opened);
    if (!reader)
        return ReasonOf(opened);
    const std::unique_ptr<SampleStream> mono = MakeMonoStream(*reader, rate);
    if (!mono)
        return ReasonKind::Undecodable;
    std::vector<float> block(kWholeBlockSamples);
    std::vector<std::int16_t> samples(kWholeBlockSamples);
    for (;;) {
        std::size_t got = 0;
        if (!mono->Read(block, got))
            return ReasonKind::Undecodable;
        std::transform(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got), samples.begin(), ToSample16);
        if (got == 0 || !sink({samples.data(), got}) || got < block.size())
            return {};
    }
}

}  // namespace quorbin::decode
