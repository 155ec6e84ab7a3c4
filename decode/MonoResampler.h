#pragma once
// A recording mixed down to mono and resampled with libsoxr, decoded only as
// far as it is read.
#include <cstdint>
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
// when the resampler cannot be made. Its Skip seeks in a reader that can: to a
// frame a little before the place, so that the resampler, started afresh
// there, gives the same samples as one that ran from the first frame.
std::unique_ptr<SampleStream> MakeMonoStream(FrameReader& reader, int targetRate);

// The earliest frame at `sourceRate` to which a mono stream of any rate seeks
// when it skips to `seconds`.
std::uint64_t EarliestSeekFrame(double seconds, int sourceRate);

}  // namespace quorbin::decode
