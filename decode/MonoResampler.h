#pragma once
// A recording mixed down to mono and resampled with libsoxr, decoded only as
// far as it is read.
#include <memory>

#include "audio/SampleEdit.h"
#include "decode/FrameReader.h"

namespace quorbin::decode {

// Mono samples of `reader` at `targetRate`: the channels averaged, non-finite
// samples read as silence. Null when the resampler cannot be made.
std::unique_ptr<SampleStream> MakeMonoStream(FrameReader& reader, int targetRate);

}  // namespace quorbin::decode
