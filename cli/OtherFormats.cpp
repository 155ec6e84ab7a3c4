#include "cli/OtherFormats.h"

#include <unistd.h>

#include <filesystem>

#include "audio/WaveWriter.h"
#include "cli/StandardStreams.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSource.h"

namespace quorbin::cli {

StepFailure PrepareWaveBytes(const std::string& source, const decode::PreparationOptions& options,
                             const decode::DecodeSettings& settings, ByteBuffer& wave,
                             decode::PreparedRecording& details, FailureReason& reason, bool& confined)
{
    const bool piped = IsStandardStream(source);
    int error = 0;
    const FileDescriptor file(piped ? -1 : OpenRegularFile(source, error));
    if (!piped && !file.Valid()) {
        reason = FailureReason::Opening(error);
        return StepFailure::CannotOpen;
    }
    const std::string name = piped ? std::string() : std::filesystem::path(source).filename().string();
    if (!decode::DecodeRecording(piped ? STDIN_FILENO : file.Get(), name, options, settings, details, reason, confined))
        return StepFailure::InvalidWave;
    wave.Clear();
    const auto rate = static_cast<std::uint32_t>(details.sampleRate);
    return WriteMonoWave(details.samples, rate, wave) ? StepFailure::None : StepFailure::InvalidWave;
}

}  // namespace quorbin::cli
