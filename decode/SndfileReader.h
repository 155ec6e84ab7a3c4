#pragma once
#include "decode/FrameReader.h"

namespace quorbin::decode {

// A reader over the open descriptor `fd` (kept open by the caller, read from
// its start with positioned reads), or null when libsndfile cannot read it.
std::unique_ptr<FrameReader> OpenWithSndfile(int fd);

}  // namespace quorbin::decode
