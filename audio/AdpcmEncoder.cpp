#include "audio/AdpcmEncoder.h"

#include <algorithm>

namespace quorbin {

namespace {

constexpr std::int32_t kInitialStep = 127;
constexpr std::int32_t kMinStep = 127;
constexpr std::int32_t kMaxStep = 24576;
constexpr std::int32_t kMinPredictor = -32768;
constexpr std::int32_t kMaxPredictor = 32767;

// Step scale factors in 256ths, by magnitude code.
constexpr std::int32_t kStepFactor[8] = {230, 230, 230, 230, 307, 409, 512, 614};

std::uint32_t MagnitudeOf(const AdpcmCode& code)
{
    return code.bit0 + 2u * code.bit1 + 4u * code.bit2;
}

std::uint32_t CodeValue(const AdpcmCode& code)
{
    return code.sign * 8u + MagnitudeOf(code);
}

// The hot loop keeps predictor and step in registers and avoids data-dependent
// branches: the magnitude is found by a three-level binary search over the
// thresholds q..7q (same result as counting them), and the predictor delta is
// summed while the search goes.
struct EncoderState {
    std::int32_t predictor = 0;
    std::int32_t step = kInitialStep;
};

#define QUORBIN_UNPREDICTABLE(c) __builtin_expect_with_probability(!!(c), 1, 0.5)

inline std::uint32_t EncodeSample(std::int32_t sample, EncoderState& state)
{
    const std::int32_t step = state.step;
    const std::int32_t predictor = state.predictor;
    const std::int32_t q = step >> 2;
    const std::int32_t diff = sample - predictor;
    const std::int32_t signMask = diff >> 31;
    const std::int32_t magnitude = (diff ^ signMask) - signMask;

    const bool ge4 = QUORBIN_UNPREDICTABLE(magnitude >= q * 4);
    std::int32_t threshold = ge4 ? q * 6 : q * 2;
    std::int32_t delta = (step >> 3) + (ge4 ? step : 0);
    const bool ge2 = QUORBIN_UNPREDICTABLE(magnitude >= threshold);
    threshold = ge2 ? threshold + q : threshold - q;
    delta += ge2 ? (step >> 1) : 0;
    const bool ge1 = QUORBIN_UNPREDICTABLE(magnitude >= threshold);
    delta += ge1 ? q : 0;
    const std::uint32_t code = ge4 * 4u + ge2 * 2u + ge1;

    std::int32_t next = predictor + ((delta ^ signMask) - signMask);
    next = std::min(std::max(next, kMinPredictor), kMaxPredictor);
    std::int32_t nextStep = (step * kStepFactor[code]) >> 8;
    nextStep = std::min(std::max(nextStep, kMinStep), kMaxStep);
    state.predictor = next;
    state.step = nextStep;
    return (static_cast<std::uint32_t>(signMask) & 8u) | code;
}

std::int32_t ReadSample(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void EncodeRun(const std::uint8_t* samples, std::uint32_t count, std::uint8_t* output)
{
    EncoderState state;
    std::uint32_t i = 0;
    for (; i + 1 < count; i += 2) {
        const std::uint32_t low = EncodeSample(ReadSample(samples + 2 * i), state);
        const std::uint32_t high = EncodeSample(ReadSample(samples + 2 * i + 2), state);
        output[i / 2] = static_cast<std::uint8_t>(low | (high << 4));
    }
    if (i < count)
        output[i / 2] = static_cast<std::uint8_t>(EncodeSample(ReadSample(samples + 2 * i), state));
}

} // namespace

std::int32_t adpcm_output_fits(std::uint32_t sampleBytes, std::uint32_t capacity)
{
    const std::uint32_t samples = sampleBytes / 2;
    const std::uint32_t needed = samples / 2 + samples % 2;
    return capacity >= needed ? 1 : 0;
}

std::int32_t adpcm_next_predictor(const AdpcmCode& code, std::int32_t predictor, std::int32_t step)
{
    std::int32_t delta = step / 8;
    if (code.bit0)
        delta += step / 4;
    if (code.bit1)
        delta += step / 2;
    if (code.bit2)
        delta += step;
    const std::int32_t next = code.sign ? predictor - delta : predictor + delta;
    return std::clamp(next, kMinPredictor, kMaxPredictor);
}

std::int32_t adpcm_next_step(const AdpcmCode& code, std::int32_t step)
{
    const std::int32_t next = step * kStepFactor[MagnitudeOf(code)] / 256;
    return std::clamp(next, kMinStep, kMaxStep);
}

void adpcm_put_nibble(std::uint8_t* output, const AdpcmCode& code, std::uint32_t index)
{
    const std::uint32_t value = CodeValue(code);
    std::uint8_t& byte = output[index / 2];
    if (index % 2 == 0)
        byte = static_cast<std::uint8_t>(value);
    else
        byte = static_cast<std::uint8_t>(byte + value * 16);
}

std::int32_t adpcm_encode(const std::uint8_t* samples, std::uint32_t sampleBytes,
                          std::uint8_t* output, std::uint32_t* ioLength)
{
    if (!adpcm_output_fits(sampleBytes, *ioLength))
        return 0;
    const std::uint32_t count = sampleBytes / 2;
    EncodeRun(samples, count, output);
    *ioLength = count / 2 + count % 2;
    return 1;
}

} // namespace quorbin
