#include "conversion/ConversionSteps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>

#include "audio/WaveWriter.h"
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

StepFailure ParseResultToFailure(std::int32_t result)
{
    switch (result) {
    case WAVE_INVALID: return StepFailure::InvalidWave;
    case WAVE_UNSUPPORTED: return StepFailure::Unsupported;
    case WAVE_TOO_SHORT: return StepFailure::TooShort;
    case WAVE_READ_FAILED: return StepFailure::CannotOpen;
    default: return result > 0 ? StepFailure::None : StepFailure::InvalidWave;
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

// The samples of a WAVE file's "data" chunk, read by position: a selection
// far into a long recording costs no more than one at its start.
class DataChunkStream final : public SampleStream {
public:
    DataChunkStream(std::unique_ptr<FileSource> file, const WaveReader& reader, int rate)
        : m_file(std::move(file)),
          m_reader(reader),
          m_samples(reader.m_dataLength / 2),
          m_rate(rate)
    {}

    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedLength() const override { return m_samples; }
    bool Read(std::span<float> out, std::size_t& got) override
    {
        got = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_samples - m_next));
        if (m_reader.ReadData(*m_file, 2 * m_next, 2 * got, m_bytes) != 0)
            return false;
        const std::uint8_t* bytes = m_bytes.Data();
        for (std::size_t i = 0; i < got; ++i) {
            const auto value = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            out[i] = static_cast<float>(value / 32768.0);
        }
        m_next += got;
        return true;
    }
    bool Skip(std::uint64_t count) override
    {
        m_next += std::min(count, m_samples - m_next);
        return true;
    }

private:
    std::unique_ptr<FileSource> m_file;
    WaveReader m_reader;
    std::uint64_t m_samples;
    std::uint64_t m_next = 0;
    int m_rate;
    ByteBuffer m_bytes;
};

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
            m_reason = FailureReason::Opening(file.OpenError());
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
        ByteBuffer wave;
        if (const StepFailure failure = decode(m_droppedPath, wave, m_reason); failure != StepFailure::None)
            return failure;
        MemorySource source(wave.Data(), wave.Size());
        return ReadSource(source);
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

    const std::string_view name = FileNamePart(m_droppedPath);
    std::string title = Utf8ToCp932Lossy(name.substr(0, name.size() - m_extensionLength));
    ReplaceControlBytes(title);
    title.resize(Cp932PrefixLength(title, mld::kMaxTitleBytes));
    m_defaultTitle = std::move(title);
    return StepFailure::None;
}

// Keeps only the start of the "data" body that can reach the melody file.
StepFailure ConversionSteps::ReadSamples(ByteSource& source)
{
    WaveReader reader;
    const std::int32_t result = reader.Parse(source);
    if (const StepFailure failure = ParseResultToFailure(result); failure != StepFailure::None) {
        if (failure == StepFailure::Unsupported) {
            m_reason = FailureReason::Of(ReasonKind::FormatFound);
            m_reason.format = reader.m_format;
        }
        return failure;
    }
    const std::int32_t read = reader.ReadData(source, 0, kMaxUsedSampleBytes, m_samples);
    if (read != 0)
        return ParseResultToFailure(read);
    m_sampleRate = result;
    const std::uint64_t samples = reader.m_dataLength / 2;
    m_extent = {std::min<std::uint64_t>(samples, kMelodySampleLimit), samples, result};
    return StepFailure::None;
}

std::unique_ptr<SampleStream> ConversionSteps::OpenSamples() const
{
    auto file = std::make_unique<FileSource>(m_droppedPath);
    WaveReader reader;
    if (m_sampleRate <= 0 || !file->Valid() || reader.Parse(*file) != m_sampleRate)
        return nullptr;
    return std::make_unique<DataChunkStream>(std::move(file), reader, m_sampleRate);
}

StepFailure ConversionSteps::UseSamples(std::span<const std::int16_t> samples, std::uint64_t selectedSamples)
{
    return FailingOnOutOfMemory(StepFailure::InvalidWave, m_reason, [&] {
        ByteBuffer wave;
        if (m_sampleRate <= 0 || !WriteMonoWave(samples, static_cast<std::uint32_t>(m_sampleRate), wave))
            return StepFailure::InvalidWave;
        MemorySource source(wave.Data(), wave.Size());
        if (const StepFailure failure = ReadSamples(source); failure != StepFailure::None)
            return failure;
        SetSelectedSamples(selectedSamples);
        return StepFailure::None;
    });
}

void ConversionSteps::SetSelectedSamples(std::uint64_t selectedSamples)
{
    m_extent.whole = std::max(selectedSamples, m_extent.kept);
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

    ByteBuffer melody;
    // The builder's 0 or -1 is its fixed convention; -1 means it could not build.
    const std::int32_t built = MldBuilder::BuildFromSamples(info, {m_samples.Data(), m_samples.Size()}, m_sampleRate,
                                                            melody, m_options.quality);
    m_samples.Clear();
    if (built != 0)
        return StepFailure::CannotSave;

    return Save(melody);
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
    if (const SaveStatus resolved = SaveTarget::Resolve(m_outputPath, target); !resolved) {
        m_reason = ReasonFor(resolved);
        return false;
    }
    m_reason = CheckOutput(target);
    return !m_reason.Given();
}

// Stages the file in the caller's batch, or saves it at once.
bool ConversionSteps::PutInPlace(SaveTarget target, const ByteBuffer& melody)
{
    const Existing existing = m_options.keepExisting ? Existing::Keep : Existing::Replace;
    const SaveStatus saved = m_options.batch ? m_options.batch->Stage(std::move(target), melody, existing)
                                             : SaveAtomically(std::move(target), melody, existing);
    if (!saved)
        m_reason = ReasonFor(saved);
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
        if (const SaveStatus written = m_options.writeElsewhere(melody); !written) {
            m_reason = ReasonFor(written);
            return StepFailure::CannotSave;
        }
        m_outputSize = size;
        return StepFailure::None;
    }
    SaveTarget target;
    if (!FindTarget(target))
        return StepFailure::CannotSave;
    // The free space that counts is that of the folder really receiving the file.
    errno = 0;
    const double freeBytes = m_options.freeSpace(target.FolderPath());
    if (!(freeBytes > static_cast<double>(size))) {
        // A query that could not be answered leaves its errno: a missing folder, say.
        if (freeBytes < 0 && errno != 0)
            m_reason = FailureReason::System(errno);
        return StepFailure::DiskSpace;
    }
    if (!PutInPlace(std::move(target), melody))
        return StepFailure::CannotSave;
    m_outputSize = size;
    return StepFailure::None;
}

std::string FormatSizeReport(std::uint32_t size, const Language& language)
{
    char number[32];
    std::snprintf(number, sizeof number, "%.2f", size / 1024.0);
    return std::string(LoadString(IDS_OUTPUT_SIZE, language)) + number + "KB";
}

std::string ConversionSteps::ReportText(const Language& language) const
{
    return FormatSizeReport(m_outputSize, language);
}

std::string FormatCutNote(const AudioExtent& extent, const Language& language)
{
    if (!extent.Cut() || extent.rate <= 0)
        return "";
    char kept[32];
    char whole[32];
    std::snprintf(kept, sizeof kept, "%.1f", static_cast<double>(extent.kept) / extent.rate);
    std::snprintf(whole, sizeof whole, "%.1f", static_cast<double>(extent.whole) / extent.rate);
    return Substitute(Tr("Kept the first %1 s of %2 s.", language), {kept, whole});
}

std::string ConversionSteps::CutNoteText(const Language& language) const
{
    return FormatCutNote(m_extent, language);
}

}  // namespace quorbin
