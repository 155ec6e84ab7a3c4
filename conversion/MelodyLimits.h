#pragma once
// What a melody file takes, handed to the layers below that know nothing of
// melody files: the rates the WAVE reader accepts, the most samples kept.
#include <cstddef>

#include "audio/WaveReader.h"
#include "mld/MldFormat.h"

namespace quorbin {

// Samples a melody file holds: 65527 coded bytes of two samples each.
constexpr std::size_t kMelodySampleLimit = mld::kMaxSamples;

// A WAVE reader that takes what a melody file can hold: 16-bit mono PCM at 4000 to 16000 Hz.
inline WaveReader MelodyWaveReader()
{
    return WaveReader(mld::kMinSampleRate, mld::kMaxSampleRate);
}

}  // namespace quorbin
