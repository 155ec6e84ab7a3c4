#pragma once
// Turns a recording in any format FFmpeg or libsndfile reads (WAVE of any
// sample format, FLAC, Ogg Vorbis and Opus, MP3, AAC in .m4a/.mp4, AMR-NB,
// AIFF, ...) into what the converter accepts: one channel, 4000 to 16000
// samples per second, 16-bit samples, cut to what a melody file holds. Only
// the part of the recording that can reach a melody file is decoded.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/SampleEdit.h"
#include "mld/MldFormat.h"

namespace quorbin::decode {

constexpr int kLowestRate = mld::kMinSampleRate;
constexpr int kHighestRate = mld::kMaxSampleRate;
constexpr int kDefaultRate = 8000;
// Nothing after this reaches the file.
constexpr std::size_t kMaxPreparedSamples = mld::kMaxSamples;

struct PreparationOptions {
    // None: keep the source's rate when the converter takes it, otherwise kDefaultRate.
    std::optional<int> targetRate;
    bool normalize = false;  // scale the peak of what is kept to -1 dBFS
    // When the selection is longer than the file holds at the chosen rate: the
    // highest rate from kLowestRate up at which it fits whole.
    bool fit = false;
    EditOptions edit;  // trim, selection and fades (its `normalize` is taken from above)
};

enum class PreparationStatus {
    Ok,
    CannotOpen,  // missing, a folder, a FIFO or device, no permission
    Unreadable,  // opened, but no decoder makes sound of it
};

struct PreparedRecording {
    std::vector<std::int16_t> samples;  // at most kMaxPreparedSamples
    int sampleRate = 0;
    int sourceRate = 0;
    int sourceChannels = 0;
    std::uint64_t selectedSamples = 0;  // the selection at sampleRate before the cut

    bool Dropped() const { return selectedSamples > samples.size(); }
};

PreparationStatus PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options,
                                   PreparedRecording& out);

// Receives the samples of a recording block by block; returns false to stop the decoding.
using SampleBlockSink = std::function<bool(std::span<const std::int16_t> samples)>;

// Decodes the whole recording as mono 16-bit samples at `rate`, handing each
// block to `sink` as soon as it is ready: for a waveform of hours of sound.
PreparationStatus DecodeWhole(const std::filesystem::path& source, int rate, const SampleBlockSink& sink);

}  // namespace quorbin::decode
