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

// The hot loop keeps predictor and step in registers and has no
// data-dependent branch. The magnitude comes from a three-level binary search
// over the thresholds q..7q (the same result as counting them); each level
// picks, by conditional moves, the next threshold, the predictor update so far
// and the candidate next steps, all of which are computed ahead. The predictor
// is handled mirrored (bitwise inverted) for negative differences, so the
// update always adds and one upper bound clamps both directions.
struct EncoderState {
    std::int32_t predictor = 0;
    std::int32_t step = kInitialStep;
};

// Returns `value >= bound ? ifGreaterEqual : otherwise` without a branch.
inline std::int32_t SelectGe(std::int32_t value, std::int32_t bound, std::int32_t ifGreaterEqual,
                             std::int32_t otherwise)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    asm("cmpl %[bound], %[value]\n\tcmovgel %[ifGe], %[result]"
        : [result] "+r"(otherwise)
        : [value] "r"(value), [bound] "r"(bound), [ifGe] "r"(ifGreaterEqual)
        : "cc");
    return otherwise;
#else
    return value >= bound ? ifGreaterEqual : otherwise;
#endif
}

inline std::int32_t Min(std::int32_t a, std::int32_t b) { return SelectGe(a, b, b, a); }
inline std::int32_t Max(std::int32_t a, std::int32_t b) { return SelectGe(a, b, a, b); }

inline std::uint32_t EncodeSample(std::int32_t sample, EncoderState& state)
{
    const std::int32_t step = state.step;
    const std::int32_t q = step >> 2;
    const std::int32_t half = step >> 1;
    // Next step for magnitude 0..3 and for 4, 5, 6, 7.
    const std::int32_t stepLow = Max((step * 230) >> 8, kMinStep);
    const std::int32_t step4 = Min((step * 307) >> 8, kMaxStep);
    const std::int32_t step5 = Min((step * 409) >> 8, kMaxStep);
    const std::int32_t step6 = Min(step * 2, kMaxStep);
    const std::int32_t step7 = Min((step * 614) >> 8, kMaxStep);

    const std::int32_t diff = sample - state.predictor;
    const std::int32_t signMask = diff >> 31;
    const std::int32_t magnitude = (diff ^ signMask) - signMask;
    const std::int32_t mirrored = state.predictor ^ signMask;

    const std::int32_t q4 = q * 4;
    const std::int32_t threshold2 = SelectGe(magnitude, q4, q * 6, q * 2);
    const std::int32_t base = mirrored + (step >> 3);
    const std::int32_t updated4 = SelectGe(magnitude, q4, base + step, base);
    const std::int32_t threshold1 = SelectGe(magnitude, threshold2, threshold2 + q, threshold2 - q);
    const std::int32_t updated2 = SelectGe(magnitude, threshold2, updated4 + half, updated4);
    const std::int32_t updated2q = SelectGe(magnitude, threshold2, updated4 + half + q, updated4 + q);
    const std::int32_t stepEven = SelectGe(magnitude, threshold2, step6, step4);
    const std::int32_t stepOdd = SelectGe(magnitude, threshold2, step7, step5);
    const std::int32_t updated = SelectGe(magnitude, threshold1, updated2q, updated2);
    const std::int32_t stepHigh = SelectGe(magnitude, threshold1, stepOdd, stepEven);

    state.predictor = Min(updated, kMaxPredictor) ^ signMask;
    state.step = SelectGe(magnitude, q4, stepHigh, stepLow);
    const std::uint32_t code = (static_cast<std::uint32_t>(magnitude >= q4) << 2) |
                               (static_cast<std::uint32_t>(magnitude >= threshold2) << 1) |
                               static_cast<std::uint32_t>(magnitude >= threshold1);
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
