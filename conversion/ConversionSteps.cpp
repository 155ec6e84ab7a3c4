#include "conversion/ConversionSteps.h"

#include <algorithm>
#include <new>
#include <utility>

#include "audio/WaveSampleStream.h"
#include "conversion/MelodyLimits.h"
#include "mld/MldFormat.h"
#include "platform/Cp932.h"
#include "platform/FileSource.h"

namespace quorbin {
namespace {

constexpr std::size_t kPathLimitBytes = 260;  // a path must be shorter than this in CP932
constexpr std::string_view kWaveExtension = ".wav";

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithWaveExtension(std::string_view path)
{
    if (path.size() < kWaveExtension.size())
        return false;
    const std::string_view tail = path.substr(path.size() - kWaveExtension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (LowerAscii(tail[i]) != kWaveExtension[i])
            return false;
    }
    return true;
}

std::string_view FileNamePart(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Length of the file name's extension with its dot; a leading dot starts a hidden name.
std::size_t ExtensionLength(std::string_view path)
{
    const std::string_view name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return (dot == std::string_view::npos || dot == 0) ? 0 : name.size() - dot;
}

// The limit counts the CP932 bytes of the path as the system sees it: absolute
// and lexically normal, so "./x.wav" and "x.wav" count alike. A character CP932
// lacks becomes one "?".
bool PathTooLong(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
    return Utf8ToCp932Lossy(ec ? path : full.string()).size() >= kPathLimitBytes;
}

// A file name may hold control characters; a title must not, so each becomes "?".
// CP932 never uses these bytes inside a double-byte character.
void ReplaceControlBytes(std::string& cp932)
{
    for (char& c : cp932) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
}

// Running out of memory ends the step with its failure and says so, instead of
// ending the program.
template <typename Step>
StepFailure FailingOnOutOfMemory(StepFailure failure, FailureReason& reason, Step step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        reason = FailureReason::Of(ReasonKind::OutOfMemory);
        return failure;
    }
}

}  // namespace

ConversionSteps::ConversionSteps(std::string droppedPath, ConversionOptions options)
    : m_droppedPath(std::move(droppedPath)),
      m_options(std::move(options))
{
    if (!m_options.freeSpace)
        m_options.freeSpace = GetFreeDiskBytes;
}

void ConversionSteps::PlanOutputPath()
{
    if (!m_options.outputPath.empty()) {
        m_outputPath = m_options.outputPath;
        return;
    }
    const std::string_view name = FileNamePart(m_droppedPath);
    const std::string melodyName = std::string(name.substr(0, name.size() - m_extensionLength)) + ".mld";
    m_outputPath = m_options.outputFolder.empty()
                       ? std::filesystem::path(m_droppedPath.substr(0, m_droppedPath.size() - name.size()) + melodyName)
                       : m_options.outputFolder / melodyName;
}

StepFailure ConversionSteps::Prepare()
{
    m_reason = {};
    return FailingOnOutOfMemory(StepFailure::InvalidWave, m_reason, [this] {
        if (PathTooLong(m_droppedPath))
            return StepFailure::PathTooLong;
        if (!EndsWithWaveExtension(m_droppedPath))
            return StepFailure::NotWave;
        m_extensionLength = kWaveExtension.size();
        PlanOutputPath();

        FileSource file(m_droppedPath);
        if (!file.Valid()) {
            m_reason = file.OpenFailure();
            return StepFailure::CannotOpen;
        }
        return ReadSource(file);
    });
}

StepFailure ConversionSteps::PlanForAnyExtension()
{
    if (PathTooLong(m_droppedPath))
        return StepFailure::PathTooLong;
    m_extensionLength = ExtensionLength(m_droppedPath);
    PlanOutputPath();
    return StepFailure::None;
}

StepFailure ConversionSteps::PrepareDecoded(const SourceDecoder& decode)
{
    m_reason = {};
    return FailingOnOutOfMemory(StepFailure::InvalidWave, m_reason, [&] {
        if (const StepFailure failure = PlanForAnyExtension(); failure != StepFailure::None)
            return failure;
        DecodedSamples decoded;
        if (const StepFailure failure = decode(m_droppedPath, decoded, m_reason); failure != StepFailure::None)
            return failure;
        if (const StepFailure failure = TakeSamples(std::move(decoded)); failure != StepFailure::None)
            return failure;
        PlanDefaultTitle();
        return StepFailure::None;
    });
}

StepFailure ConversionSteps::PrepareFromSource(ByteSource& source)
{
    m_reason = {};
    return FailingOnOutOfMemory(StepFailure::InvalidWave, m_reason, [&] {
        if (const StepFailure failure = PlanForAnyExtension(); failure != StepFailure::None)
            return failure;
        return ReadSource(source);
    });
}

StepFailure ConversionSteps::ReadSource(ByteSource& source)
{
    if (const StepFailure failure = ReadSamples(source); failure != StepFailure::None)
        return failure;
    PlanDefaultTitle();
    return StepFailure::None;
}

void ConversionSteps::PlanDefaultTitle()
{
    const std::string_view name = FileNamePart(m_droppedPath);
    std::string title = Utf8ToCp932Lossy(name.substr(0, name.size() - m_extensionLength));
    ReplaceControlBytes(title);
    title.resize(Cp932PrefixLength(title, mld::kMaxTitleBytes));
    m_defaultTitle = std::move(title);
}

// Keeps only the start of the "data" body that can reach the melody file.
StepFailure ConversionSteps::ReadSamples(ByteSource& source)
{
    WaveReader reader = MelodyWaveReader();
    const Result<std::int32_t> rate = reader.Parse(source);
    // A stream's stated length may be a placeholder: one sample more than fits
    // tells whether it went on past the cut.
    const std::uint64_t wanted = kMelodySampleLimit + (source.Streamed() ? 1 : 0);
    Result<std::vector<std::int16_t>> samples = rate ? reader.ReadSamples(source, 0, wanted) : rate.Reason();
    if (!samples) {
        if (AddsToMessage(samples.Reason()))
            m_reason = samples.Reason();
        return ReadingFailure(samples.Reason());
    }
    if (!PlaysLongerThan20Ms(2 * std::uint64_t{samples->size()}, *rate))
        return StepFailure::TooShort;  // a stream that ended sooner than its size said
    m_samples = std::move(*samples);
    m_sampleRate = *rate;
    m_extent = {m_samples.size(), reader.SampleCount(), *rate, true, reader.SampleCount()};
    if (source.Streamed())
        MeasureStream(reader.DataLength());
    return StepFailure::None;
}

// The extent of a recording read from a stream: as long as what was read when
// it ended before the cut; past the cut, the stated length where it can be
// true, otherwise unknown.
void ConversionSteps::MeasureStream(std::uint32_t statedBytes)
{
    if (m_samples.size() <= kMelodySampleLimit) {
        m_extent.whole = m_samples.size();
        m_extent.recording = m_samples.size();
        return;
    }
    m_samples.resize(kMelodySampleLimit);
    m_extent.kept = m_samples.size();
    if (m_extent.whole <= kMelodySampleLimit || IsPlaceholderDataLength(statedBytes)) {
        m_extent.whole = m_extent.kept + 1;
        m_extent.wholeKnown = false;
        m_extent.recording.reset();
    }
}

// Takes the decoded samples as the recording, checked as the WAVE reader checks
// a file's. The extent is known also when they are too short.
StepFailure ConversionSteps::TakeSamples(DecodedSamples decoded)
{
    const std::int32_t rate = decoded.rate;
    if (rate < static_cast<std::int32_t>(mld::kMinSampleRate)
        || rate > static_cast<std::int32_t>(mld::kMaxSampleRate)) {
        m_reason = FailureReason::Of(ReasonKind::FormatFound);
        m_reason.format = {1, 1, static_cast<std::uint32_t>(rate), 16};
        return StepFailure::Unsupported;
    }
    std::vector<std::int16_t>& samples = decoded.samples;
    samples.resize(std::min(samples.size(), kMelodySampleLimit));
    m_extent = {samples.size(), std::max<std::uint64_t>(decoded.selectedSamples, samples.size()), rate,
                decoded.selectionKnown, decoded.recordingSamples};
    if (!PlaysLongerThan20Ms(2 * std::uint64_t{samples.size()}, rate))
        return StepFailure::TooShort;
    m_samples = std::move(samples);
    m_sampleRate = rate;
    return StepFailure::None;
}

std::unique_ptr<SampleStream> ConversionSteps::OpenSamples() const
{
    auto file = std::make_unique<FileSource>(m_droppedPath);
    WaveReader reader = MelodyWaveReader();
    if (m_sampleRate <= 0 || !file->Valid())
        return nullptr;
    if (const Result<std::int32_t> rate = reader.Parse(*file); !rate || *rate != m_sampleRate)
        return nullptr;
    return std::make_unique<WaveSampleStream>(std::move(file), reader, m_sampleRate);
}

StepFailure ConversionSteps::UseSamples(EditedRecording edited)
{
    return FailingOnOutOfMemory(StepFailure::InvalidWave, m_reason, [&] {
        if (m_sampleRate <= 0 || edited.rate != m_sampleRate)
            return StepFailure::InvalidWave;
        return TakeSamples({std::move(edited.samples), edited.rate, edited.selectedSamples, edited.selectionKnown,
                            edited.recordingSamples});
    });
}

StepFailure ConversionSteps::Finish(const ContentInfo& info)
{
    m_outputSize = 0;
    m_reason = {};
    return FailingOnOutOfMemory(StepFailure::CannotSave, m_reason, [&] { return BuildAndSave(info); });
}

StepFailure ConversionSteps::BuildAndSave(const ContentInfo& info)
{
    if (m_sampleRate <= 0)
        return StepFailure::CannotSave;

    const Result<ByteBuffer> melody = MldBuilder::Build(info, m_samples, m_sampleRate, m_options.quality);
    m_samples = {};
    if (!melody)
        return StepFailure::CannotSave;
    return Save(*melody);
}

// Why the output may not be written over, before anything is: it is the
// recording itself (also through a link, another spelling or a second name),
// or the caller's check objects. The file at the target is looked at in its
// real folder, a link there not followed: the save replaces such a link itself.
FailureReason ConversionSteps::CheckOutput(const SaveTarget& target) const
{
    const auto output = target.Identity();
    if (output && output == IdentifyFile(m_droppedPath))
        return FailureReason::Of(ReasonKind::ReplacesSource);
    return m_options.checkOutput ? m_options.checkOutput(target) : FailureReason{};
}

// The place really written, resolved once: the output path, or the file its
// link points to. Fails, with the reason kept, when the output may not or
// cannot be written.
bool ConversionSteps::FindTarget(SaveTarget& target)
{
    if (const Result<> resolved = SaveTarget::Resolve(m_outputPath, target); !resolved) {
        m_reason = resolved.Reason();
        return false;
    }
    m_reason = CheckOutput(target);
    return !m_reason.Given();
}

// Stages the file in the caller's batch, or saves it at once.
bool ConversionSteps::PutInPlace(SaveTarget target, const ByteBuffer& melody)
{
    const Existing existing = m_options.keepExisting ? Existing::Keep : Existing::Replace;
    const Result<> saved = m_options.batch ? m_options.batch->Stage(std::move(target), melody, existing)
                                           : SaveAtomically(std::move(target), melody, existing);
    m_reason = saved.Reason();
    return static_cast<bool>(saved);
}

StepFailure ConversionSteps::Save(const ByteBuffer& melody)
{
    const auto size = static_cast<std::uint32_t>(melody.Size());
    if (m_options.dryRun) {
        m_outputSize = size;
        return StepFailure::None;
    }
    if (m_options.writeElsewhere) {
        if (const Result<> written = m_options.writeElsewhere(melody); !written) {
            m_reason = written.Reason();
            return StepFailure::CannotSave;
        }
        m_outputSize = size;
        return StepFailure::None;
    }
    SaveTarget target;
    if (!FindTarget(target))
        return StepFailure::CannotSave;
    // The free space that counts is that of the folder really receiving the file.
    const Result<double> freeBytes = m_options.freeSpace(target.FolderPath());
    if (!freeBytes || !(*freeBytes > static_cast<double>(size))) {
        m_reason = freeBytes.Reason();
        return StepFailure::DiskSpace;
    }
    if (!PutInPlace(std::move(target), melody))
        return StepFailure::CannotSave;
    m_outputSize = size;
    return StepFailure::None;
}

}  // namespace quorbin
