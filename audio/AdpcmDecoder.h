#pragma once
// Turns the 4-bit ADPCM stream of a melody file back into 16-bit samples. The
// decoder tracks predictor and step with the encoder's own update rules, so the
// samples it returns are exactly the predictor values the encoder followed.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/AdpcmEncoder.h"

namespace quorbin {

// The code held in the four low bits of `nibble` (bit 3 sign, bits 2..0 magnitude).
AdpcmCode adpcm_code_from_nibble(std::uint8_t nibble);

// Decodes every nibble of `coded`, low half of each byte first: 2 × size samples.
// A stream made from an odd number of samples ends in a padding nibble 0, which
// cannot be told from a real code and decodes to one extra sample.
std::vector<std::int16_t> adpcm_decode(std::span<const std::uint8_t> coded);

}  // namespace quorbin
