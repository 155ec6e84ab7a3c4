#include "audio/AdpcmEncoder.h"

#include <algorithm>
#include <bit>

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
// data-dependent branch. The magnitude code comes from a three-level binary
// search: each level compares what is left of |d| with 4q, 2q or q (subtracting
// it when reached), and the flags of that one comparison drive every
// conditional move of the level: the predictor delta, the next-step candidates
// and a carry shifted into the code bits. The code bits are collected inverted
// (the carry says "below the threshold"), two samples to a register.
// The predictor is handled mirrored (bitwise inverted) for negative
// differences, so the update always adds and one upper bound clamps both
// directions. Next steps stay scaled by 256 until the final shift, so each
// clamp is one compare against a scaled bound.
struct EncoderState {
    std::int32_t predictor = 0;
    std::int32_t step = kInitialStep;
    std::uint32_t invertedCodes = 0;
};

constexpr std::int32_t kScaledMinStep = kMinStep * 256;
constexpr std::int32_t kScaledMaxStep = kMaxStep * 256;

#if defined(__GNUC__) && defined(__x86_64__)
#define QUORBIN_ADPCM_ASM 1
// Bounds as memory operands, so they take no register in the loop.
const std::int32_t kMaxPredictorBound = kMaxPredictor;
const std::int32_t kScaledMinStepBound = kScaledMinStep;
const std::int32_t kScaledMaxStepBound = kScaledMaxStep;
#endif

// Factors of codes 4 and 5, and of 6 and 7, packed low/high: one 64-bit
// multiply gives both scaled steps (each below 2^24).
constexpr std::uint64_t PackFactors(std::int32_t low, std::int32_t high)
{
    return static_cast<std::uint64_t>(low) | (static_cast<std::uint64_t>(high) << 32);
}
const std::uint64_t kStepFactorPair45 = PackFactors(kStepFactor[4], kStepFactor[5]);
const std::uint64_t kStepFactorPair67 = PackFactors(kStepFactor[6], kStepFactor[7]);

inline std::uint64_t ScaledStepPair(std::int32_t step, const std::uint64_t& factors)
{
#ifdef QUORBIN_ADPCM_ASM
    std::uint64_t product = static_cast<std::uint32_t>(step);
    asm("imulq %[f], %[v]" : [v] "+r"(product) : [f] "m"(factors) : "cc");
    return product;
#else
    return static_cast<std::uint32_t>(step) * factors;
#endif
}

// Sets magnitude = |sample - predictor| and returns -1 when the difference is negative, else 0.
inline std::int32_t Difference(std::int32_t sample, std::int32_t predictor, std::int32_t& magnitude)
{
#ifdef QUORBIN_ADPCM_ASM
    std::int32_t negated;
    std::int32_t signMask;
    asm("movl %[p], %[neg]\n\t"
        "subl %[x], %[neg]\n\t"
        "subl %[p], %[x]\n\t"
        "movl %[x], %[mask]\n\t"
        "cmovsl %[neg], %[x]\n\t"
        "sarl $31, %[mask]"
        : [x] "+&r"(sample), [neg] "=&r"(negated), [mask] "=&r"(signMask)
        : [p] "r"(predictor)
        : "cc");
    magnitude = sample;
    return signMask;
#else
    const std::int32_t diff = sample - predictor;
    const std::int32_t signMask = diff >> 31;
    magnitude = (diff ^ signMask) - signMask;
    return signMask;
#endif
}

// Bit 2: magnitude >= 4q. Takes 4q off the magnitude, adds the full step to
// the delta and lifts the bound on the next step from the codes 0-3 value to
// the maximum.
inline void QuantiseHigh(std::int32_t& magnitude, std::int32_t threshold, std::int32_t& delta,
                         std::int32_t deltaIfReached, std::int32_t& stepBound, std::uint32_t& invertedCodes)
{
#ifdef QUORBIN_ADPCM_ASM
    std::int32_t rest;
    asm("movl %[m], %[rest]\n\t"
        "subl %[thr], %[rest]\n\t"
        "cmovael %[rest], %[m]\n\t"
        "cmovael %[dHi], %[delta]\n\t"
        "cmovael %[maxStep], %[bound]\n\t"
        "adcl %[codes], %[codes]"
        : [m] "+r"(magnitude), [delta] "+r"(delta), [bound] "+r"(stepBound), [codes] "+r"(invertedCodes),
          [rest] "=&r"(rest)
        : [thr] "rm"(threshold), [dHi] "rm"(deltaIfReached), [maxStep] "m"(kScaledMaxStepBound)
        : "cc");
#else
    const bool reached = magnitude >= threshold;
    invertedCodes = invertedCodes * 2 + (reached ? 0u : 1u);
    if (reached) {
        magnitude -= threshold;
        delta = deltaIfReached;
        stepBound = kScaledMaxStep;
    }
#endif
}

// Bit 1: what is left >= 2q. Also picks the scaled next steps for codes 6 and
// 7 over those for 4 and 5; each pair travels packed in one 64-bit value.
inline void QuantiseMiddle(std::int32_t& magnitude, std::int32_t threshold, std::int32_t& delta,
                           std::int32_t deltaIfReached, std::uint64_t& stepPair, std::uint64_t stepPairIfReached,
                           std::uint32_t& invertedCodes)
{
#ifdef QUORBIN_ADPCM_ASM
    std::int32_t rest;
    asm("movl %[m], %[rest]\n\t"
        "subl %[thr], %[rest]\n\t"
        "cmovael %[rest], %[m]\n\t"
        "cmovael %[dHi], %[delta]\n\t"
        "cmovaeq %[pairHi], %[pair]\n\t"
        "adcl %[codes], %[codes]"
        : [m] "+r"(magnitude), [delta] "+r"(delta), [pair] "+r"(stepPair), [codes] "+r"(invertedCodes),
          [rest] "=&r"(rest)
        : [thr] "rm"(threshold), [dHi] "rm"(deltaIfReached), [pairHi] "rm"(stepPairIfReached)
        : "cc");
#else
    const bool reached = magnitude >= threshold;
    invertedCodes = invertedCodes * 2 + (reached ? 0u : 1u);
    if (reached) {
        magnitude -= threshold;
        delta = deltaIfReached;
        stepPair = stepPairIfReached;
    }
#endif
}

// Bit 0: what is left >= q. Picks the updated predictor and the scaled next step for codes 4-7.
inline void QuantiseLow(std::int32_t magnitude, std::int32_t threshold, std::int32_t& updated,
                        std::int32_t updatedIfReached, std::int32_t& stepHigh, std::int32_t stepHighIfReached,
                        std::uint32_t& invertedCodes)
{
#ifdef QUORBIN_ADPCM_ASM
    asm("cmpl %[thr], %[m]\n\t"
        "cmovael %[uHi], %[u]\n\t"
        "cmovael %[stepHi], %[step]\n\t"
        "adcl %[codes], %[codes]"
        : [u] "+r"(updated), [step] "+r"(stepHigh), [codes] "+r"(invertedCodes)
        : [m] "r"(magnitude), [thr] "rm"(threshold), [uHi] "rm"(updatedIfReached),
          [stepHi] "rm"(stepHighIfReached)
        : "cc");
#else
    const bool reached = magnitude >= threshold;
    invertedCodes = invertedCodes * 2 + (reached ? 0u : 1u);
    if (reached) {
        updated = updatedIfReached;
        stepHigh = stepHighIfReached;
    }
#endif
}

// The new predictor from the mirrored update: min(updated, 32767), mirrored
// back. The flip and the bound test run side by side.
inline std::int32_t NextPredictor(std::int32_t updated, std::int32_t signMask)
{
#ifdef QUORBIN_ADPCM_ASM
    const std::int32_t mirroredBound = signMask ^ kMaxPredictor;
    std::int32_t predictor;
    asm("movl %[u], %[p]\n\t"
        "xorl %[mask], %[p]\n\t"
        "cmpl %[bound], %[u]\n\t"
        "cmovgl %[mBound], %[p]"
        : [p] "=&r"(predictor)
        : [u] "r"(updated), [mask] "r"(signMask), [bound] "m"(kMaxPredictorBound), [mBound] "rm"(mirroredBound)
        : "cc");
    return predictor;
#else
    return std::min(updated, kMaxPredictor) ^ signMask;
#endif
}

inline std::int32_t RaiseToMinStep(std::int32_t scaled)
{
#ifdef QUORBIN_ADPCM_ASM
    asm("cmpl %[bound], %[v]\n\t"
        "cmovll %[bound], %[v]"
        : [v] "+r"(scaled)
        : [bound] "m"(kScaledMinStepBound)
        : "cc");
    return scaled;
#else
    return std::max(scaled, kScaledMinStep);
#endif
}

// The scaled next step for codes 4-7 always exceeds the one for codes 0-3,
// so one upper bound (the codes 0-3 value, or the maximum for codes 4-7)
// both clamps and chooses.
inline std::int32_t NextStep(std::int32_t scaledHigh, std::int32_t bound)
{
#ifdef QUORBIN_ADPCM_ASM
    asm("cmpl %[bound], %[v]\n\t"
        "cmovgl %[bound], %[v]\n\t"
        "sarl $8, %[v]"
        : [v] "+r"(scaledHigh)
        : [bound] "r"(bound)
        : "cc");
    return scaledHigh;
#else
    return std::min(scaledHigh, bound) >> 8;
#endif
}

// Encodes one sample and shifts its inverted 4-bit code into state.invertedCodes.
inline void EncodeSample(std::int32_t sample, EncoderState& state)
{
    const std::int32_t step = state.step;
    const std::int32_t q = step >> 2;
    const std::int32_t eighth = step >> 3;
    std::int32_t magnitude;
    const std::int32_t signMask = Difference(sample, state.predictor, magnitude);
    const std::int32_t mirrored = state.predictor ^ signMask;
    const std::int32_t mirroredPlusQ = mirrored + q;
    // Inverted sign first: 1 when the difference is not negative.
    std::uint32_t codes = state.invertedCodes * 2 + static_cast<std::uint32_t>(signMask + 1);

    std::int32_t delta = eighth;
    std::int32_t stepBound = RaiseToMinStep(step * kStepFactor[0]);
    QuantiseHigh(magnitude, step & ~3, delta, eighth + step, stepBound, codes);
    std::uint64_t stepPair = ScaledStepPair(step, kStepFactorPair45);
    QuantiseMiddle(magnitude, q * 2, delta, delta + (step >> 1), stepPair, ScaledStepPair(step, kStepFactorPair67),
                   codes);
    std::int32_t stepEven = static_cast<std::int32_t>(stepPair);
    const std::int32_t stepOdd = static_cast<std::int32_t>(stepPair >> 32);
    // Both candidates add the mirrored predictor, so the last selection yields the update itself.
    std::int32_t updated = mirrored + delta;
    QuantiseLow(magnitude, q, updated, mirroredPlusQ + delta, stepEven, stepOdd, codes);

    state.predictor = NextPredictor(updated, signMask);
    state.step = NextStep(stepEven, stepBound);
    state.invertedCodes = codes;
}

std::int32_t ReadSample(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Two codes a byte, the earlier one in the low half: the pair arrives
// earlier-first in the high half of the inverted bits, so swap and invert.
std::uint8_t PairByte(std::uint32_t invertedCodes)
{
    return std::rotl(static_cast<std::uint8_t>(~invertedCodes), 4);
}

// Four samples a round: their inverted codes fill 16 bits, which make two bytes.
// A shorter loop body would spend a larger share on loop control and stores.
void EncodeRun(const std::uint8_t* samples, std::uint32_t count, std::uint8_t* output)
{
    EncoderState state;
    const std::uint32_t pairs = count / 2;
    std::uint32_t pair = 0;
    for (; pair + 2 <= pairs; pair += 2) {
        for (std::uint32_t k = 0; k < 4; ++k)
            EncodeSample(ReadSample(samples + 4 * pair + 2 * k), state);
        output[pair] = PairByte(state.invertedCodes >> 8);
        output[pair + 1] = PairByte(state.invertedCodes);
    }
    if (pair < pairs) {
        EncodeSample(ReadSample(samples + 4 * pair), state);
        EncodeSample(ReadSample(samples + 4 * pair + 2), state);
        output[pair] = PairByte(state.invertedCodes);
    }
    if (count % 2 != 0) {
        EncodeSample(ReadSample(samples + 4 * pairs), state);
        output[pairs] = static_cast<std::uint8_t>(~state.invertedCodes & 0x0Fu);
    }
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
