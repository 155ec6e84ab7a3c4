#pragma once
// The decoders (FFmpeg, libsndfile, libsoxr) load about 140 shared libraries,
// which would cost every run of quorbin-cli tens of milliseconds. They live in
// a module of their own that the converter loads only when a recording has to
// be decoded; this is the one function it looks up there.
#include "decode/AudioPreparation.h"

namespace quorbin::decode {

using PrepareRecordingFunction = PreparationStatus (*)(const std::filesystem::path& source,
                                                       const PreparationOptions& options, PreparedRecording& out);

// The whole recording, block by block (see DecodeWhole).
using DecodeWholeFunction = PreparationStatus (*)(const std::filesystem::path& source, int rate,
                                                  const SampleBlockSink& sink);

inline constexpr const char* kModuleFileName = "quorbin-decoders.so";
inline constexpr const char* kModuleEntry = "quorbin_prepare_recording";
inline constexpr const char* kWholeEntry = "quorbin_decode_whole";

}  // namespace quorbin::decode
