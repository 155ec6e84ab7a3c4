// The fast form of the encoder defined in AdpcmEncoder.h: the same bytes as
// adpcm_encode_reference, several times faster. Building with
// QUORBIN_ADPCM_PORTABLE uses only plain C++ (no inline assembly, no SSE2).
#include "audio/AdpcmEncoder.h"

#include <algorithm>

#if defined(__SSE2__) && !defined(QUORBIN_ADPCM_PORTABLE)
#define QUORBIN_ADPCM_SSE2 1
#include <emmintrin.h>
#endif

namespace quorbin {

namespace {

constexpr std::int32_t kMaxPredictor = 32767;

// The hot loop runs only the predictor/step recurrence, in registers and (on
// x86-64) with no data-dependent branch; the codes are worked out afterwards from the
// recorded states (see EncodeRun). The magnitude code comes from a three-level
// binary search: each level compares what is left of |d| with 4q, 2q or q
// (subtracting it when reached), and the flags of that one comparison drive
// every conditional move of the level: the predictor delta and the next-step
// candidates. The predictor is handled mirrored (bitwise inverted) for
// negative differences, so the update always adds and one upper bound clamps
// both directions. Next steps stay scaled by 256 until the final shift, so
// each clamp is one compare against a scaled bound.
struct EncoderState {
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
};

constexpr std::int32_t kScaledMinStep = kAdpcmMinStep * 256;
constexpr std::int32_t kScaledMaxStep = kAdpcmMaxStep * 256;

// Inline assembly is kept only for the level selections below: written in
// C++, the compiler turns them into branches, which mispredict on real sound
// (a full track encodes about twice as fast with it).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(QUORBIN_ADPCM_PORTABLE)
#define QUORBIN_ADPCM_ASM 1
#endif
// The bound as an object in memory, so a selection can take it as a memory
// operand and it occupies no register.
const std::int32_t kScaledMaxStepBound = kScaledMaxStep;

// Factors of codes 4 and 5, and of 6 and 7, packed low/high: one 64-bit
// multiply gives both scaled steps (each below 2^24).
constexpr std::uint64_t PackFactors(std::int32_t low, std::int32_t high)
{
    return static_cast<std::uint64_t>(low) | (static_cast<std::uint64_t>(high) << 32);
}
constexpr std::uint64_t kStepFactorPair45 = PackFactors(kAdpcmStepFactor[4], kAdpcmStepFactor[5]);
constexpr std::uint64_t kStepFactorPair67 = PackFactors(kAdpcmStepFactor[6], kAdpcmStepFactor[7]);

inline std::uint64_t ScaledStepPair(std::int32_t step, std::uint64_t factors)
{
    return static_cast<std::uint32_t>(step) * factors;
}

// Sets magnitude = |sample - predictor| and returns -1 when the difference is negative, else 0.
inline std::int32_t Difference(std::int32_t sample, std::int32_t predictor, std::int32_t& magnitude)
{
    const std::int32_t diff = sample - predictor;
    const std::int32_t signMask = diff >> 31;
    magnitude = (diff ^ signMask) - signMask;
    return signMask;
}

// Bits 2 and 1: when what is left of the magnitude reaches the threshold (4q,
// then 2q), take the threshold off, move the delta on, and pick the step
// candidate for a reached level. For bit 2 that candidate is the bound on the
// next step, lifted from the codes 0-3 value to the maximum; for bit 1 it is
// the pair of scaled next steps for codes 6 and 7 over those for 4 and 5,
// packed in one 64-bit value.
template <typename Step>
inline void QuantiseUpper(std::int32_t& magnitude, std::int32_t threshold, std::int32_t& delta,
                          std::int32_t deltaIfReached, Step& step, const Step& stepIfReached)
{
#ifdef QUORBIN_ADPCM_ASM
    std::int32_t rest;
    asm("movl %[m], %[rest]\n\t"
        "subl %[thr], %[rest]\n\t"
        "cmovael %[rest], %[m]\n\t"
        "cmovael %[dHi], %[delta]\n\t"
        "cmovae %[stepHi], %[step]"
        : [m] "+r"(magnitude), [delta] "+r"(delta), [step] "+r"(step), [rest] "=&r"(rest)
        : [thr] "rm"(threshold), [dHi] "rm"(deltaIfReached), [stepHi] "rm"(stepIfReached)
        : "cc");
#else
    if (magnitude >= threshold) {
        magnitude -= threshold;
        delta = deltaIfReached;
        step = stepIfReached;
    }
#endif
}

// Bit 0: what is left >= q. Picks the updated predictor and the scaled next step for codes 4-7.
inline void QuantiseLow(std::int32_t magnitude, std::int32_t threshold, std::int32_t& updated,
                        std::int32_t updatedIfReached, std::int32_t& stepHigh, std::int32_t stepHighIfReached)
{
#ifdef QUORBIN_ADPCM_ASM
    asm("cmpl %[thr], %[m]\n\t"
        "cmovael %[uHi], %[u]\n\t"
        "cmovael %[stepHi], %[step]"
        : [u] "+r"(updated), [step] "+r"(stepHigh)
        : [m] "r"(magnitude), [thr] "rm"(threshold), [uHi] "rm"(updatedIfReached), [stepHi] "rm"(stepHighIfReached)
        : "cc");
#else
    if (magnitude >= threshold) {
        updated = updatedIfReached;
        stepHigh = stepHighIfReached;
    }
#endif
}

// The new predictor from the mirrored update: min(updated, 32767), mirrored back.
inline std::int32_t NextPredictor(std::int32_t updated, std::int32_t signMask)
{
    return std::min(updated, kMaxPredictor) ^ signMask;
}

inline std::int32_t RaiseToMinStep(std::int32_t scaled)
{
    return std::max(scaled, kScaledMinStep);
}

// The scaled next step for codes 4-7 always exceeds the one for codes 0-3,
// so one upper bound (the codes 0-3 value, or the maximum for codes 4-7)
// both clamps and chooses.
inline std::int32_t NextStep(std::int32_t scaledHigh, std::int32_t bound)
{
    return std::min(scaledHigh, bound) >> 8;
}

// Moves the state on by one sample.
inline void EncodeSample(std::int32_t sample, EncoderState& state)
{
    const std::int32_t step = state.step;
    const std::int32_t q = step >> 2;
    const std::int32_t eighth = step >> 3;
    std::int32_t magnitude;
    const std::int32_t signMask = Difference(sample, state.predictor, magnitude);
    const std::int32_t mirrored = state.predictor ^ signMask;
    const std::int32_t mirroredPlusQ = mirrored + q;

    std::int32_t delta = eighth;
    std::int32_t stepBound = RaiseToMinStep(step * kAdpcmStepFactor[0]);
    QuantiseUpper(magnitude, step & ~3, delta, eighth + step, stepBound, kScaledMaxStepBound);
    std::uint64_t stepPair = ScaledStepPair(step, kStepFactorPair45);
    QuantiseUpper(magnitude, q * 2, delta, delta + (step >> 1), stepPair, ScaledStepPair(step, kStepFactorPair67));
    std::int32_t stepEven = static_cast<std::int32_t>(stepPair);
    const std::int32_t stepOdd = static_cast<std::int32_t>(stepPair >> 32);
    // Both candidates add the mirrored predictor, so the last selection yields the update itself.
    std::int32_t updated = mirrored + delta;
    QuantiseLow(magnitude, q, updated, mirroredPlusQ + delta, stepEven, stepOdd);

    state.predictor = NextPredictor(updated, signMask);
    state.step = NextStep(stepEven, stepBound);
}

// Samples are encoded in groups: first the recurrence runs over a group,
// recording the state each sample starts from; then the group's codes are
// worked out from those states. The code pass of one group does not depend on
// the next group's recurrence, so the processor overlaps the two, and the
// recurrence loop carries no code bookkeeping.
constexpr std::uint32_t kGroupSamples = 16;

// States of two groups: the one being traced and the one being coded.
struct Trace {
    std::int16_t predictor[2 * kGroupSamples];
    std::int16_t step[2 * kGroupSamples];
};

inline void TraceRun(const std::int16_t* samples, std::uint32_t count, EncoderState& state, std::int16_t* predictors,
                     std::int16_t* steps)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        predictors[i] = static_cast<std::int16_t>(state.predictor);
        steps[i] = static_cast<std::int16_t>(state.step);
        EncodeSample(samples[i], state);
    }
}

// The code of a sample, from the state it starts from: the sign, then how
// many of the thresholds q, 2q, ... 7q its distance from the predictor
// reaches, found by the same three-level search as the recurrence.
std::uint32_t CodeFromState(std::int32_t sample, std::int32_t predictor, std::int32_t step)
{
    const std::int32_t diff = sample - predictor;
    std::int32_t magnitude = diff < 0 ? -diff : diff;
    const std::int32_t q = step >> 2;
    std::uint32_t code = diff < 0 ? 8u : 0u;
    for (std::int32_t bit = 4; bit > 0; bit /= 2) {
        if (magnitude >= bit * q) {
            magnitude -= bit * q;
            code += static_cast<std::uint32_t>(bit);
        }
    }
    return code;
}

// Two codes a byte, the earlier one in the low half; the first sample has an even index.
void PackCodes(const std::int16_t* samples, const std::int16_t* predictors, const std::int16_t* steps,
               std::uint32_t count, std::uint8_t* output)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t code = CodeFromState(samples[i], predictors[i], steps[i]);
        if (i % 2 == 0)
            output[i / 2] = static_cast<std::uint8_t>(code);
        else
            output[i / 2] = static_cast<std::uint8_t>(output[i / 2] + code * 16);
    }
}

#ifdef QUORBIN_ADPCM_SSE2
// Eight codes at once, one per 16-bit lane: the same search as the
// recurrence, on |d| as an unsigned 16-bit value. Each 32-bit lane of the
// result holds a byte: an even sample's code low, the next one's high.
inline __m128i CodeBytes8(const std::int16_t* samples, const std::int16_t* predictors, const std::int16_t* steps)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(predictors));
    const __m128i q = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(steps)), 2);
    const __m128i sign = _mm_and_si128(_mm_cmpgt_epi16(p, x), _mm_set1_epi16(8));
    __m128i magnitude = _mm_sub_epi16(_mm_max_epi16(x, p), _mm_min_epi16(x, p));
    __m128i threshold = _mm_slli_epi16(q, 2);
    __m128i reached = _mm_cmpeq_epi16(_mm_subs_epu16(threshold, magnitude), zero);
    magnitude = _mm_sub_epi16(magnitude, _mm_and_si128(reached, threshold));
    __m128i code = _mm_or_si128(sign, _mm_and_si128(reached, _mm_set1_epi16(4)));
    threshold = _mm_add_epi16(q, q);
    reached = _mm_cmpeq_epi16(_mm_subs_epu16(threshold, magnitude), zero);
    magnitude = _mm_sub_epi16(magnitude, _mm_and_si128(reached, threshold));
    code = _mm_or_si128(code, _mm_and_si128(reached, _mm_set1_epi16(2)));
    reached = _mm_cmpeq_epi16(_mm_subs_epu16(q, magnitude), zero);
    code = _mm_or_si128(code, _mm_and_si128(reached, _mm_set1_epi16(1)));
    return _mm_and_si128(_mm_or_si128(code, _mm_srli_epi32(code, 12)), _mm_set1_epi32(0xFF));
}
#endif

inline void PackGroup(const std::int16_t* samples, const std::int16_t* predictors, const std::int16_t* steps,
                      std::uint8_t* output)
{
#ifdef QUORBIN_ADPCM_SSE2
    const __m128i first = CodeBytes8(samples, predictors, steps);
    const __m128i second = CodeBytes8(samples + 8, predictors + 8, steps + 8);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(first, second), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(output), bytes);
#else
    PackCodes(samples, predictors, steps, kGroupSamples, output);
#endif
}

void EncodeRun(const std::int16_t* samples, std::uint32_t count, std::uint8_t* output)
{
    constexpr std::uint32_t groupOutput = kGroupSamples / 2;
    EncoderState state;
    Trace trace;
    const std::uint32_t groups = count / kGroupSamples;
    for (std::uint32_t g = 0; g < groups; ++g) {
        const std::uint32_t slot = (g % 2) * kGroupSamples;
        // Four samples a round keep loop control a small share of the work.
        for (std::uint32_t i = 0; i < kGroupSamples; i += 4)
            TraceRun(samples + g * kGroupSamples + i, 4, state, trace.predictor + slot + i, trace.step + slot + i);
        if (g > 0) {
            const std::uint32_t previous = kGroupSamples - slot;
            PackGroup(samples + (g - 1) * kGroupSamples, trace.predictor + previous, trace.step + previous,
                      output + (g - 1) * groupOutput);
        }
    }
    if (groups > 0) {
        const std::uint32_t last = ((groups - 1) % 2) * kGroupSamples;
        PackGroup(samples + (groups - 1) * kGroupSamples, trace.predictor + last, trace.step + last,
                  output + (groups - 1) * groupOutput);
    }
    const std::uint32_t rest = count - groups * kGroupSamples;
    TraceRun(samples + groups * kGroupSamples, rest, state, trace.predictor, trace.step);
    PackCodes(samples + groups * kGroupSamples, trace.predictor, trace.step, rest, output + groups * groupOutput);
}

}  // namespace

Result<std::size_t> adpcm_encode(std::span<const std::int16_t> samples, std::span<std::uint8_t> output)
{
    if (!adpcm_output_fits(samples.size(), output.size()))
        return ReasonKind::OutputTooSmall;
    EncodeRun(samples.data(), static_cast<std::uint32_t>(samples.size()), output.data());
    return adpcm_coded_size(samples.size());
}

}  // namespace quorbin
