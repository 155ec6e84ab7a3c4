#pragma once
// A searching form of the ADPCM encoder (AdpcmEncoder.h). The decoder is
// fixed, but any sequence of codes is a valid stream: instead of taking each
// sample's code from that sample alone, this encoder searches for the codes
// whose decoded sound is closest to the recording (least total squared error).
//
// The search follows the decoder's state (predictor, step) sample by sample,
// as a trellis: from each kept state it tries the codes that land next to the
// sample and those that widen or narrow the step, ranks each new state by its
// error so far plus the least error the next sample can have from it, and
// keeps the `width` best ranked, only one among those with nearly the same
// step and predictor (paths that reach the same state merge). Each kept
// state carries the exact squared error of its whole path; at the end the
// path of the least is read back. The result is never worse than
// adpcm_encode: when the plain encoder's error is not larger, its codes are
// returned.
#include <cstdint>
#include <span>

#include "core/Result.h"

namespace quorbin {

constexpr std::uint32_t kAdpcmSearchWidth = 64;  // the width the high quality uses
constexpr std::uint32_t kAdpcmMaxSearchWidth = 1024;

// The contract of adpcm_encode; `width` (1 to kAdpcmMaxSearchWidth, larger
// values are lowered to it) is how many decoder states the search keeps per
// sample. Time grows with width; memory is about 4 KiB per unit of width.
Result<std::size_t> adpcm_encode_search(std::span<const std::int16_t> samples, std::span<std::uint8_t> output,
                                        std::uint32_t width = kAdpcmSearchWidth);

// Standard: adpcm_encode, the codes every earlier version wrote. High: the
// search at kAdpcmSearchWidth, closer to the recording in the same bytes.
enum class EncoderQuality { Standard, High };

// adpcm_encode or adpcm_encode_search, after `quality`.
Result<std::size_t> adpcm_encode_with(EncoderQuality quality, std::span<const std::int16_t> samples,
                                      std::span<std::uint8_t> output);

}  // namespace quorbin
