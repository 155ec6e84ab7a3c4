#pragma once
#include "decode/FrameReader.h"

namespace quorbin::decode {

// Sets how much FFmpeg's libraries say: warnings when `verbose`, else nothing.
void InitialiseFfmpeg(bool verbose);

// A reader of `input` from where it stands, or null with `status` saying why:
// Refused when it is not in an audio file format, Unreadable when FFmpeg finds
// no sound in it.
std::unique_ptr<FrameReader> OpenWithFfmpeg(const RecordingInput& input, OpenStatus& status);

}  // namespace quorbin::decode
