#include "audio/AdpcmEncoder.h"

#include "core/ByteOrder.h"

#include <algorithm>

namespace quorbin {

namespace {

constexpr std::int32_t kMinPredictor = -32768;
constexpr std::int32_t kMaxPredictor = 32767;

std::uint32_t MagnitudeOf(const AdpcmCode& code)
{
    return code.bit0 + 2u * code.bit1 + 4u * code.bit2;
}

std::int32_t ReadSample(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(LoadLe16(p));
}

}  // namespace

AdpcmCode adpcm_quantise(std::int32_t sample, std::int32_t predictor, std::int32_t step)
{
    const std::int32_t diff = sample - predictor;
    const std::int32_t magnitude = diff < 0 ? -diff : diff;
    const std::int32_t q = step / 4;
    std::int32_t level = 0;
    while (level < 7 && magnitude >= (level + 1) * q)
        ++level;
    AdpcmCode code;
    code.bit0 = level & 1;
    code.bit1 = (level >> 1) & 1;
    code.bit2 = (level >> 2) & 1;
    code.sign = diff < 0 ? 1 : 0;
    return code;
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
    const std::int32_t next = step * kAdpcmStepFactor[MagnitudeOf(code)] / 256;
    return std::clamp(next, kAdpcmMinStep, kAdpcmMaxStep);
}

void adpcm_put_nibble(std::uint8_t* output, const AdpcmCode& code, std::uint32_t index)
{
    const std::uint32_t value = code.sign * 8u + MagnitudeOf(code);
    std::uint8_t& byte = output[index / 2];
    if (index % 2 == 0)
        byte = static_cast<std::uint8_t>(value);
    else
        byte = static_cast<std::uint8_t>(byte + value * 16);
}

void adpcm_encode_sample(std::int32_t sample, std::int32_t& predictor, std::int32_t& step, std::uint8_t* output,
                         std::uint32_t index)
{
    const AdpcmCode code = adpcm_quantise(sample, predictor, step);
    predictor = adpcm_next_predictor(code, predictor, step);
    step = adpcm_next_step(code, step);
    adpcm_put_nibble(output, code, index);
}

std::int32_t adpcm_output_fits(std::uint32_t sampleBytes, std::uint32_t capacity)
{
    const std::uint32_t samples = sampleBytes / 2;
    const std::uint32_t needed = samples / 2 + samples % 2;
    return capacity >= needed ? 1 : 0;
}

std::int32_t adpcm_encode_reference(const std::uint8_t* samples, std::uint32_t sampleBytes, std::uint8_t* output,
                                    std::uint32_t* ioLength)
{
    if (!adpcm_output_fits(sampleBytes, *ioLength))
        return 0;
    const std::uint32_t count = sampleBytes / 2;
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
    for (std::uint32_t i = 0; i < count; ++i)
        adpcm_encode_sample(ReadSample(samples + 2 * i), predictor, step, output, i);
    *ioLength = count / 2 + count % 2;
    return 1;
}

}  // namespace quorbin
