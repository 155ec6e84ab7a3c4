#pragma once
// 4-bit ADPCM encoder: one code per 16-bit sample, two codes per byte, the
// earlier sample in the low half. Every call starts at predictor 0, step 127.
#include <cstdint>

namespace quorbin {

struct AdpcmCode {
    std::uint8_t bit0 = 0;
    std::uint8_t bit1 = 0;
    std::uint8_t bit2 = 0;
    std::uint8_t sign = 0;
};

// samples: 16-bit little-endian samples, sampleBytes long (an odd last byte is ignored).
// ioLength: output capacity on entry, bytes written on success.
// Returns 1 on success, 0 (nothing written, ioLength unchanged) when the output is too small.
std::int32_t adpcm_encode(const std::uint8_t* samples, std::uint32_t sampleBytes,
                          std::uint8_t* output, std::uint32_t* ioLength);
std::int32_t adpcm_output_fits(std::uint32_t sampleBytes, std::uint32_t capacity);
std::int32_t adpcm_next_predictor(const AdpcmCode& code, std::int32_t predictor, std::int32_t step);
std::int32_t adpcm_next_step(const AdpcmCode& code, std::int32_t step);
void adpcm_put_nibble(std::uint8_t* output, const AdpcmCode& code, std::uint32_t index);

} // namespace quorbin
