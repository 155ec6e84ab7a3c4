#pragma once
// The quantiser written plainly, for checking the encoder's fast loop: the
// magnitude code counts the thresholds q, 2q, ... 7q that |sample - predictor|
// reaches, q being step / 4.
#include <cstdint>

#include "audio/AdpcmEncoder.h"

namespace quorbin {

inline AdpcmCode ReferenceQuantise(std::int32_t sample, std::int32_t predictor, std::int32_t step)
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

// One sample through the public helpers, as the encoder's contract states
// them: quantise, move predictor and step on, store the nibble.
inline void ReferenceEncodeSample(std::int32_t sample, std::int32_t& predictor, std::int32_t& step,
                                  std::uint8_t* output, std::uint32_t index)
{
    const AdpcmCode code = ReferenceQuantise(sample, predictor, step);
    predictor = adpcm_next_predictor(code, predictor, step);
    step = adpcm_next_step(code, step);
    adpcm_put_nibble(output, code, index);
}

} // namespace quorbin
