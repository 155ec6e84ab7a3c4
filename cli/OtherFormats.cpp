#include "cli/OtherFormats.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "audio/WaveWriter.h"
#include "cli/StandardStreams.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSource.h"

namespace quorbin::cli {
namespace {

// The usual extensions of what libsndfile and FFmpeg read; raw samples are
// left out, as they need a format given by hand, which the preparation does not do.
constexpr std::array<std::string_view, 40> kDecodedExtensions = {
    "wav", "wave", "w64", "rf64", "aif",  "aiff", "aifc", "au",  "snd", "caf", "flac", "ogg", "oga",  "opus",
    "mp3", "mp2",  "m4a", "m4b",  "mp4",  "aac",  "amr",  "3gp", "3g2", "wma", "ac3",  "mka", "webm", "ape",
    "wv",  "voc",  "paf", "svx",  "nist", "sph",  "sf",   "mat", "pvf", "xi",  "htk",  "sds"};

}  // namespace

bool DecoderReadsExtension(std::string_view extension)
{
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kDecodedExtensions.begin(), kDecodedExtensions.end(), lower) != kDecodedExtensions.end();
}

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
