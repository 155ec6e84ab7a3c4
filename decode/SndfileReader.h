#pragma once
#include "decode/FrameReader.h"

namespace quorbin::decode {

// A reader of the regular file `input` from its start, or null when
// libsndfile cannot read it.
std::unique_ptr<FrameReader> OpenWithSndfile(const RecordingInput& input);

}  // namespace quorbin::decode
