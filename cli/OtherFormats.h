#pragma once
// Recordings in other formats, decoded by the confined decoder child.
#include <string>

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

}  // namespace quorbin::cli
