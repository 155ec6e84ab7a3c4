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
#include <cstdint>

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

// samples: 16-bit little-endian samples, sampleBytes long (an odd last byte is ignored).
// ioLength: output capacity on entry, bytes written on success.
// Returns 1 on success, 0 (nothing written, ioLength unchanged) when the output is too small.
std::int32_t adpcm_encode(const std::uint8_t* samples, std::uint32_t sampleBytes, std::uint8_t* output,
                          std::uint32_t* ioLength);
// The same contract and bytes as adpcm_encode, one adpcm_encode_sample call a sample.
std::int32_t adpcm_encode_reference(const std::uint8_t* samples, std::uint32_t sampleBytes, std::uint8_t* output,
                                    std::uint32_t* ioLength);
std::int32_t adpcm_output_fits(std::uint32_t sampleBytes, std::uint32_t capacity);

}  // namespace quorbin
