#pragma once
// Recordings in other formats, decoded by the confined decoder child.
#include <string>
#include <string_view>

#include "conversion/StepFailure.h"
#include "core/ByteBuffer.h"
#include "decode/DecoderProcess.h"
#include "decode/Preparation.h"

namespace quorbin::cli {

// The recording `source` ("-": standard input) prepared as `options` ask, as
// a canonical 16-bit mono PCM WAVE in `wave`, its details in `details`.
// Returns StepFailure::None, or CannotOpen or InvalidWave with `reason` set.
// `confined` is false when the kernel refused the decoder's system call filter.
StepFailure PrepareWaveBytes(const std::string& source, const decode::PreparationOptions& options,
                             const decode::DecodeSettings& settings, ByteBuffer& wave,
                             decode::PreparedRecording& details, FailureReason& reason, bool& confined);

// True when a file with this extension (without the dot, any case) is in a
// format the decoders read: "flac", "ogg", "m4a", ...
bool DecoderReadsExtension(std::string_view extension);

}  // namespace quorbin::cli
