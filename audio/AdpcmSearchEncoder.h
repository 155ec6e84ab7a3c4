#pragma once
// A searching form of the ADPCM encoder (AdpcmEncoder.h). The decoder is
// fixed, but any sequence of codes is a valid stream: instead of taking each
// sample's code from that sample alone, this encoder searches for the codes
// whose decoded sound is closest to the recording (least total squared error).
//
// The search follows the decoder's state (predictor, step) sample by sample.
// From each kept state it tries the codes whose sign points towards the
// sample: the best of magnitudes 0-3 (they lead to the same next step) and
// each of magnitudes 4-7. Of all the states reached that share a step, only
// the one with the least error so far is kept, and of those the `width` with
// the least error so far plus the least error the next sample can have from
// them go on. At the end the path of the state with the least error is read back.
// The result is never worse than adpcm_encode: when the plain encoder's error
// is not larger, its codes are returned.
#include <cstdint>

namespace quorbin {

constexpr std::uint32_t kAdpcmSearchWidth = 8;  // the width the high quality uses
constexpr std::uint32_t kAdpcmMaxSearchWidth = 1024;

// The contract of adpcm_encode; `width` (1 to kAdpcmMaxSearchWidth, larger
// values are lowered to it) is how many decoder states the search keeps per
// sample. Time grows with width; memory is 2 * width bytes per sample.
std::int32_t adpcm_encode_search(const std::uint8_t* samples, std::uint32_t sampleBytes, std::uint8_t* output,
                                 std::uint32_t* ioLength, std::uint32_t width = kAdpcmSearchWidth);

// Standard: adpcm_encode, the codes every earlier version wrote. High: the
// search at kAdpcmSearchWidth, closer to the recording in the same bytes.
enum class EncoderQuality { Standard, High };

// adpcm_encode or adpcm_encode_search, after `quality`.
std::int32_t adpcm_encode_with(EncoderQuality quality, const std::uint8_t* samples, std::uint32_t sampleBytes,
                               std::uint8_t* output, std::uint32_t* ioLength);

}  // namespace quorbin
