#pragma once
// Turns a recording in any format libsndfile reads (WAVE of any sample format,
// FLAC, Ogg Vorbis, AIFF, ...) into what the converter accepts: one channel,
// 4000 to 16000 samples per second, 16-bit samples. Only the part of the
// recording that can reach a melody file is decoded.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/StepFailure.h"
#include "core/ByteBuffer.h"

namespace quorbin::prepare {

constexpr int kLowestRate = 4000;
constexpr int kHighestRate = 16000;
constexpr int kDefaultRate = 8000;
// 65527 coded bytes of two samples each: nothing after this reaches the file.
constexpr std::size_t kMaxPreparedSamples = 131054;

struct PreparationOptions {
    // None: keep the source's rate when the converter takes it, otherwise kDefaultRate.
    std::optional<int> targetRate;
    bool normalize = false;  // scale the peak to -1 dBFS
};

enum class PreparationStatus {
    Ok,
    CannotOpen,  // missing, a folder, no permission
    Unreadable,  // opened, but libsndfile cannot decode it
};

struct PreparedRecording {
    std::vector<std::int16_t> samples;  // at most kMaxPreparedSamples
    int sampleRate = 0;
    int sourceRate = 0;
    int sourceChannels = 0;
};

PreparationStatus PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options,
                                   PreparedRecording& out);

// Rounds and clips full-scale floats (1.0 = 32768) to 16 bits, without dither.
// With `normalize`, the largest magnitude first becomes -1 dBFS of 32767;
// silence stays silence.
std::vector<std::int16_t> ToPcm16(std::span<const float> samples, bool normalize);

// The prepared recording as a canonical 16-bit mono PCM WAVE in `wave`. Returns
// StepFailure::None, or CannotOpen or InvalidWave.
StepFailure PrepareWaveBytes(const std::filesystem::path& source, const PreparationOptions& options, ByteBuffer& wave);

// True when a file with this extension (without the dot, any case) is a
// format the decoder reads: "flac", "ogg", "aiff", ...
bool DecoderReadsExtension(std::string_view extension);

// Reads the command-line options --resample, --rate HZ and --normalize. Returns
// nullopt when none was given, or, with `problem` set, when --rate is not a
// whole number from kLowestRate to kHighestRate.
std::optional<PreparationOptions> PreparationFromOptions(bool resample, const std::optional<std::string>& rate,
                                                         bool normalize, std::string& problem);

} // namespace quorbin::prepare
