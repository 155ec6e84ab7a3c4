#include "cli/OtherFormats.h"

#include <unistd.h>

#include <filesystem>

#include "cli/StandardStreams.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSource.h"

namespace quorbin::cli {

StepFailure DecodeSamples(const std::string& source, const decode::PreparationOptions& options,
                          const decode::DecodeSettings& settings, DecodedSamples& decoded, FailureReason& reason,
                          bool& confined)
{
    const bool piped = IsStandardStream(source);
    Result<FileDescriptor> file = piped ? Result<FileDescriptor>(FileDescriptor()) : OpenRegularFile(source);
    if (!file) {
        reason = file.Reason();
        return StepFailure::CannotOpen;
    }
    const std::string name = piped ? std::string() : std::filesystem::path(source).filename().string();
    Result<decode::PreparedRecording> prepared =
        decode::DecodeRecording(piped ? STDIN_FILENO : file->Get(), name, options, settings, confined);
    if (!prepared) {
        reason = prepared.Reason();
        return StepFailure::InvalidWave;
    }
    decoded = {std::move(prepared->samples), prepared->sampleRate, prepared->selectedSamples, prepared->selectionKnown,
               prepared->recordingSamples};
    return StepFailure::None;
}

}  // namespace quorbin::cli
