#pragma once
// The steps of one conversion that need no window, shared by the window's
// conversion job and the command-line converter so that both behave alike:
//   Prepare (path checks, read, parse, default title) -> the caller asks for the
//   texts -> Finish (build, output path, free space, save) -> report text.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/SampleEdit.h"
#include "conversion/StepFailure.h"
#include "core/ByteBuffer.h"
#include "core/ByteSource.h"
#include "mld/MldBuilder.h"
#include "platform/FileSave.h"
#include "platform/FileSystem.h"

namespace quorbin {

// Says why the file at `output` may not be written in this run; a reason of kind None lets the save go on.
using OutputCheck = std::function<FailureReason(const SaveTarget& output)>;

struct ConversionOptions {
    std::filesystem::path outputPath;  // empty: the source's name with ".mld", in outputFolder
    FreeSpaceQuery freeSpace = GetFreeDiskBytes;
    std::filesystem::path outputFolder;                 // empty: beside the source
    EncoderQuality quality = EncoderQuality::Standard;  // the window always codes at standard
    bool dryRun = false;                                // Finish builds the file but writes nothing
    OutputCheck checkOutput;                            // none: only the source itself is protected
    bool keepExisting = false;                          // a file at the output path fails the save
    // Set: Finish only stages the melody file in this batch, and the caller
    // commits it. None: Finish puts the file in place itself.
    SaveBatch* batch = nullptr;
    // Set: the melody file goes there (standard output) instead of to the
    // output path, which is then neither resolved nor checked.
    std::function<Result<>(const ByteBuffer& bytes)> writeElsewhere;
};

// How much of the recording the melody file holds, in samples at its rate.
struct AudioExtent {
    std::uint64_t kept = 0;
    std::uint64_t whole = 0;  // of the recording, or of the selection made from it
    std::int32_t rate = 0;
    bool wholeKnown = true;  // false: a stream that states no length went on; `whole` is more than `kept`
    std::optional<std::uint64_t> recording{};  // the whole recording, where its length is known

    bool Cut() const { return whole > kept; }
};

// A recording in another format, decoded or edited: its samples at their
// rate, and the lengths of the selection they were cut from and of the recording.
struct DecodedSamples {
    std::vector<std::int16_t> samples;
    std::int32_t rate = 0;
    std::uint64_t selectedSamples = 0;
    bool selectionKnown = true;  // false: more than selectedSamples, how much more is unknown
    std::optional<std::uint64_t> recordingSamples{};
};

class ConversionSteps {
public:
    // `droppedPath` is the path as the platform gives it (UTF-8 on this system).
    explicit ConversionSteps(std::string droppedPath, ConversionOptions options = {});

    // Path length, extension, open, parse, read. Only the chunk headers, the
    // "fmt " fields and the part of the "data" body that can reach the melody
    // file are read, so a file of any size costs the same. Returns
    // StepFailure::None to go on, otherwise PathTooLong, NotWave, CannotOpen,
    // InvalidWave (also when memory runs out), Unsupported or TooShort.
    StepFailure Prepare();

    // Decodes the source file into `decoded`; returns StepFailure::None, or the
    // failure with its reason.
    using SourceDecoder =
        std::function<StepFailure(const std::string& path, DecodedSamples& decoded, FailureReason& reason)>;
    // Prepare for a recording in another format: `decode` replaces the extension
    // check and the read; the default title and the output name drop whatever
    // extension the source has. The path limit, rate and play-time checks stay.
    StepFailure PrepareDecoded(const SourceDecoder& decode);

    // Prepare for a WAVE recording read from `source` (a stream, say) instead of
    // the file: as PrepareDecoded, with `source` in place of the decoded bytes.
    StepFailure PrepareFromSource(ByteSource& source);

    // After Prepare: the recording's samples, read by position from the file,
    // for editing before Finish; null when the file cannot be read again.
    std::unique_ptr<SampleStream> OpenSamples() const;
    // Replaces the recording by the samples of `edited`, made at the same rate;
    // returns StepFailure::None or TooShort as Prepare would.
    StepFailure UseSamples(EditedRecording edited);

    std::int32_t SampleRate() const { return m_sampleRate; }
    const AudioExtent& Extent() const { return m_extent; }
    // File name without ".wav" as CP932 bytes, at most 50, no double-byte character cut.
    const std::string& DefaultTitle() const { return m_defaultTitle; }

    // Build, output checks, free-space check, save. Returns StepFailure::None on
    // success, else DiskSpace or CannotSave (also when memory runs out); no
    // partial file is ever left behind, and the source is never written over.
    // With a batch in the options, success means that the file is staged there.
    StepFailure Finish(const ContentInfo& info);
    // More about the last failure, when there is more to say.
    const FailureReason& Reason() const { return m_reason; }

    // Where Finish writes; known once Prepare got past the extension check.
    const std::filesystem::path& OutputPath() const { return m_outputPath; }
    std::uint32_t OutputSize() const { return m_outputSize; }

private:
    // The path limit and the output name of a recording whose name may have any extension.
    StepFailure PlanForAnyExtension();
    StepFailure ReadSource(ByteSource& source);
    StepFailure ReadSamples(ByteSource& source);
    StepFailure TakeSamples(DecodedSamples decoded);
    void MeasureStream(std::uint32_t statedBytes);
    void PlanDefaultTitle();
    StepFailure BuildAndSave(const ContentInfo& info);
    void PlanOutputPath();
    FailureReason CheckOutput(const SaveTarget& target) const;
    bool FindTarget(SaveTarget& target);
    bool PutInPlace(SaveTarget target, const ByteBuffer& melody);
    StepFailure Save(const ByteBuffer& melody);

    std::string m_droppedPath;
    ConversionOptions m_options;
    std::vector<std::int16_t> m_samples;  // all of the recording that can reach the melody file
    std::int32_t m_sampleRate = 0;
    std::size_t m_extensionLength = 0;  // of the dropped path, dropped from the output name
    std::string m_defaultTitle;
    std::filesystem::path m_outputPath;
    std::uint32_t m_outputSize = 0;
    FailureReason m_reason;
    AudioExtent m_extent;
};

}  // namespace quorbin
