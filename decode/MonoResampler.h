#pragma once
// A recording mixed down to mono and resampled with libsoxr, decoded only as
// far as it is read.
#include <memory>

#include "audio/SampleEdit.h"
#include "decode/FrameReader.h"

namespace quorbin::decode {

// Makes one resampler, so that the library's first-use work is done.
void InitialiseResampler();

// Each frame's channels averaged into one sample, non-finite samples taken as
// silence. A mono sample made so is made again unchanged.
void MixToMono(const float* interleaved, std::size_t frames, int channels, float* mono);

// Mono samples of `reader` at `targetRate` (MixToMono, then resampled). Null
// when the resampler cannot be made.
std::unique_ptr<SampleStream> MakeMonoStream(FrameReader& reader, int targetRate);

}  // namespace quorbin::decode
