#pragma once
// The decoders (FFmpeg, libsndfile, libsoxr) load about 140 shared libraries,
// which would cost every run of quorbin-cli tens of milliseconds. They live in
// a module of their own that the converter loads only when a recording has to
// be decoded; this is the one function it looks up there.
#include "decode/AudioPreparation.h"

namespace quorbin::decode {

using PrepareRecordingFunction = PreparationStatus (*)(const std::filesystem::path& source,
                                                       const PreparationOptions& options, PreparedRecording& out);

inline constexpr const char* kModuleFileName = "quorbin-decoders.so";
inline constexpr const char* kModuleEntry = "quorbin_prepare_recording";

}  // namespace quorbin::decode
