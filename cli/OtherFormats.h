#pragma once
// Recordings in other formats, decoded by the confined decoder child.
#include <string>

#include "conversion/ConversionSteps.h"
#include "conversion/StepFailure.h"
#include "decode/DecoderProcess.h"
#include "decode/Preparation.h"

namespace quorbin::cli {

// The recording `source` ("-": standard input) prepared as `options` ask, its
// samples, their rate and the selection they were cut from in `decoded`.
// Returns StepFailure::None, or CannotOpen or InvalidWave with `reason` set.
// `confined` is false when the kernel refused the decoder's system call filter.
StepFailure DecodeSamples(const std::string& source, const decode::PreparationOptions& options,
                          const decode::DecodeSettings& settings, DecodedSamples& decoded, FailureReason& reason,
                          bool& confined);

}  // namespace quorbin::cli
