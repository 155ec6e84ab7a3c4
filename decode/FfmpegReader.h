#pragma once
#include "decode/FrameReader.h"

namespace quorbin::decode {

// A reader over the open descriptor `fd` (kept open by the caller), or null
// when FFmpeg finds no decodable sound in it. `name` helps to recognise the format.
std::unique_ptr<FrameReader> OpenWithFfmpeg(int fd, const char* name);

}  // namespace quorbin::decode
