#include "audio/AdpcmEncoder.h"

#include <algorithm>

namespace quorbin {

namespace {

constexpr std::int32_t kMinPredictor = -32768;
constexpr std::int32_t kMaxPredictor = 32767;

std::uint32_t MagnitudeOf(const AdpcmCode& code)
{
    return code.bit0 + 2u * code.bit1 + 4u * code.bit2;
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

bool adpcm_output_fits(std::size_t sampleCount, std::size_t capacity)
{
    return capacity >= adpcm_coded_size(sampleCount);
}

Result<std::size_t> adpcm_encode_reference(std::span<const std::int16_t> samples, std::span<std::uint8_t> output)
{
    if (!adpcm_output_fits(samples.size(), output.size()))
        return ReasonKind::OutputTooSmall;
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
    for (std::uint32_t i = 0; i < samples.size(); ++i)
        adpcm_encode_sample(samples[i], predictor, step, output.data(), i);
    return adpcm_coded_size(samples.size());
}

}  // namespace quorbin
