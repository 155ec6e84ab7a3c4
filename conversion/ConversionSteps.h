#pragma once
// The steps of one conversion that need no window, shared by the window's
// conversion job and the command-line converter so that both behave alike:
//   Prepare (path checks, read, parse, default title) -> the caller asks for the
//   texts -> Finish (build, output path, free space, save) -> report text.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "conversion/StepFailure.h"
#include "core/ByteBuffer.h"
#include "core/ByteSource.h"
#include "mld/MldBuilder.h"
#include "platform/FileSystem.h"
#include "res/StringTable.h"

namespace quorbin {

struct ConversionOptions {
    std::filesystem::path outputPath;    // empty: the source's name with ".mld", in outputFolder
    FreeSpaceQuery freeSpace = GetFreeDiskBytes;
    std::filesystem::path outputFolder;  // empty: beside the source
    // Writes the finished melody file; the default keeps readers from ever seeing half of it.
    std::function<SaveStatus(const std::filesystem::path& path, const ByteBuffer& bytes)> save = SaveFileAtomically;
    EncoderQuality quality = EncoderQuality::Standard;  // the window always codes at standard
};

// "Output File Size : 0.18KB": the report text for a melody file of `size` bytes.
std::string FormatSizeReport(std::uint32_t size, Language language);

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

    // Turns the source file into the bytes of a 16-bit mono PCM WAVE; returns
    // StepFailure::None, or the failure.
    using SourceDecoder = std::function<StepFailure(const std::string& path, ByteBuffer& wave)>;
    // Prepare for a recording in another format: `decode` replaces the extension
    // check and the read; the default title and the output name drop whatever
    // extension the source has. The path limit, parse and play-time checks stay.
    StepFailure PrepareDecoded(const SourceDecoder& decode);

    std::int32_t SampleRate() const { return m_sampleRate; }
    // File name without ".wav" as CP932 bytes, at most 50, no double-byte character cut.
    const std::string& DefaultTitle() const { return m_defaultTitle; }

    // Build, free-space check, save. Returns StepFailure::None on success, else
    // DiskSpace or CannotSave (also when memory runs out); no partial file is
    // ever left behind.
    StepFailure Finish(const ContentInfo& info);
    // More about the last failure, when there is more to say.
    const FailureReason& Reason() const { return m_reason; }

    // Where Finish writes; known once Prepare got past the extension check.
    const std::filesystem::path& OutputPath() const { return m_outputPath; }
    std::uint32_t OutputSize() const { return m_outputSize; }
    // "Output File Size : 0.18KB" in the given language.
    std::string ReportText(Language language) const;

private:
    StepFailure ReadSource(ByteSource& source);
    StepFailure ReadSamples(ByteSource& source);
    StepFailure BuildAndSave(const ContentInfo& info);
    void PlanOutputPath();
    StepFailure Save(const ByteBuffer& melody);

    std::string m_droppedPath;
    ConversionOptions m_options;
    ByteBuffer m_samples;  // the start of the "data" body: all that can reach the melody file
    std::int32_t m_sampleRate = 0;
    std::size_t m_extensionLength = 0;  // of the dropped path, dropped from the output name
    std::string m_defaultTitle;
    std::filesystem::path m_outputPath;
    std::uint32_t m_outputSize = 0;
    FailureReason m_reason;
};

} // namespace quorbin
