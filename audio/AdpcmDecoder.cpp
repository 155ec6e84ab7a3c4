#include "audio/AdpcmDecoder.h"

namespace quorbin {

namespace {

struct DecoderState {
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;

    std::int16_t Next(std::uint8_t nibble)
    {
        const AdpcmCode code = adpcm_code_from_nibble(nibble);
        predictor = adpcm_next_predictor(code, predictor, step);
        step = adpcm_next_step(code, step);
        return static_cast<std::int16_t>(predictor);
    }
};

}  // namespace

AdpcmCode adpcm_code_from_nibble(std::uint8_t nibble)
{
    AdpcmCode code;
    code.bit0 = nibble & 1u;
    code.bit1 = (nibble >> 1) & 1u;
    code.bit2 = (nibble >> 2) & 1u;
    code.sign = (nibble >> 3) & 1u;
    return code;
}

std::vector<std::int16_t> adpcm_decode(std::span<const std::uint8_t> coded)
{
    std::vector<std::int16_t> samples;
    samples.reserve(coded.size() * 2);
    DecoderState state;
    for (const std::uint8_t byte : coded) {
        samples.push_back(state.Next(byte & 0x0F));
        samples.push_back(state.Next(byte >> 4));
    }
    return samples;
}

}  // namespace quorbin
