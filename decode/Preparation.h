#pragma once
// What a recording in another format is prepared into, and how: the options
// and the result shared by the decoder module and the programs that ask it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "audio/SampleEdit.h"
#include "mld/MldFormat.h"

namespace quorbin::decode {

constexpr int kLowestRate = mld::kMinSampleRate;
constexpr int kHighestRate = mld::kMaxSampleRate;
constexpr int kDefaultRate = 8000;
// Nothing after this reaches the file.
constexpr std::size_t kMaxPreparedSamples = mld::kMaxSamples;

// Trims, selections and fades kept to what a melody file holds.
inline EditOptions MelodyEdit()
{
    EditOptions edit;
    edit.limit = kMaxPreparedSamples;
    return edit;
}

struct PreparationOptions {
    // None: keep the source's rate when the converter takes it, otherwise kDefaultRate.
    std::optional<int> targetRate;
    bool normalize = false;  // scale the peak of what is kept to -1 dBFS
    // When the selection is longer than the file holds at the chosen rate: the
    // highest rate from kLowestRate up at which it fits whole.
    bool fit = false;
    // Trim, selection and fades (its `normalize` is taken from above), kept
    // to what a melody file holds.
    EditOptions edit = MelodyEdit();
};

struct PreparedRecording {
    std::vector<std::int16_t> samples;  // at most kMaxPreparedSamples
    int sampleRate = 0;
    int sourceRate = 0;
    int sourceChannels = 0;
    std::uint64_t selectedSamples = 0;              // the selection at sampleRate before the cut
    bool selectionKnown = true;                     // false: a stream of unknown length went on past the cut
    std::optional<std::uint64_t> recordingSamples;  // the whole recording at sampleRate, where stated

    bool Dropped() const { return selectedSamples > samples.size(); }
};

// Receives the samples of a recording block by block; returns false to stop the decoding.
using SampleBlockSink = std::function<bool(std::span<const std::int16_t> samples)>;

}  // namespace quorbin::decode
