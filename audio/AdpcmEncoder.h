#pragma once
// 4-bit ADPCM encoder. The functions below, written plainly, define the
// encoder; adpcm_encode is its fast form (AdpcmFastEncoder.cpp) and must give
// the same bytes for every input.
//
// The encoder follows the decoder's state: a predictor (the last decoded
// sample, -32768..32767) and a step (127..24576), starting at 0 and 127.
// For each 16-bit sample:
//   1. Quantise. d = sample - predictor; the sign bit is set when d < 0. With
//      q = step / 4, the magnitude code (0..7) is how many of the thresholds
//      q, 2q, ..., 7q |d| reaches.
//   2. Move the predictor by step/8, plus step/4, step/2 and step for bits 0,
//      1 and 2 of the magnitude (each quotient truncated), down when the sign
//      is set, up otherwise; clamp to -32768..32767.
//   3. Scale the step by 230/256 for magnitudes 0-3, 307, 409, 512 or 614/256
//      for 4-7 (truncated); clamp to 127..24576.
//   4. Store the 4-bit code (sign * 8 + magnitude): two codes per byte, the
//      earlier sample in the low half. An odd count leaves the last high half 0.
// The decoder runs steps 2 and 3 on the stored codes, so its samples are
// exactly the predictor values the encoder tracked.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/Result.h"

namespace quorbin {

struct AdpcmCode {
    std::uint8_t bit0 = 0;
    std::uint8_t bit1 = 0;
    std::uint8_t bit2 = 0;
    std::uint8_t sign = 0;
};

constexpr std::int32_t kAdpcmInitialPredictor = 0;
constexpr std::int32_t kAdpcmInitialStep = 127;
constexpr std::int32_t kAdpcmMinStep = 127;
constexpr std::int32_t kAdpcmMaxStep = 24576;
// Step scale factors in 256ths, by magnitude code.
constexpr std::int32_t kAdpcmStepFactor[8] = {230, 230, 230, 230, 307, 409, 512, 614};

// Step 1: the code for `sample` from the state (predictor, step).
AdpcmCode adpcm_quantise(std::int32_t sample, std::int32_t predictor, std::int32_t step);
// Step 2.
std::int32_t adpcm_next_predictor(const AdpcmCode& code, std::int32_t predictor, std::int32_t step);
// Step 3.
std::int32_t adpcm_next_step(const AdpcmCode& code, std::int32_t step);
// Step 4: the code as nibble `index` of `output`; an even index overwrites the whole byte.
void adpcm_put_nibble(std::uint8_t* output, const AdpcmCode& code, std::uint32_t index);
// Steps 1 to 4 for one sample: moves the state on and stores nibble `index`.
void adpcm_encode_sample(std::int32_t sample, std::int32_t& predictor, std::int32_t& step, std::uint8_t* output,
                         std::uint32_t index);

// Bytes of the coded stream of `sampleCount` samples: two codes a byte.
constexpr std::size_t adpcm_coded_size(std::size_t sampleCount)
{
    return sampleCount / 2 + sampleCount % 2;
}
bool adpcm_output_fits(std::size_t sampleCount, std::size_t capacity);

// Codes `samples` into the first adpcm_coded_size bytes of `output` and
// returns that size; OutputTooSmall, with nothing written, when `output` is
// shorter.
Result<std::size_t> adpcm_encode(std::span<const std::int16_t> samples, std::span<std::uint8_t> output);
// The same contract and bytes as adpcm_encode, one adpcm_encode_sample call a sample.
Result<std::size_t> adpcm_encode_reference(std::span<const std::int16_t> samples, std::span<std::uint8_t> output);

}  // namespace quorbin
