#pragma once
// Checks a WAVE file held in memory and finds the body of its first "data" chunk.
#include <cstdint>

#include "core/ByteBuffer.h"

namespace quorbin {

constexpr std::int32_t WAVE_INVALID = -1;      // not RIFF WAVE, a chunk runs past the end, fmt/data missing
constexpr std::int32_t WAVE_UNSUPPORTED = -2;  // the first "fmt " is not 16-bit mono PCM at 4000..16000 Hz
constexpr std::int32_t WAVE_TOO_SHORT = -3;    // 20 ms of sound or less

class WaveReader {
public:
    WaveReader() = default;
    virtual ~WaveReader() = default;

    // Returns the sample rate (4000..16000) or WAVE_INVALID, WAVE_UNSUPPORTED, WAVE_TOO_SHORT.
    // The rate and the failure share one number because the design fixes this signature.
    // Never reads outside fileBytes.
    std::int32_t Parse(const ByteBuffer& fileBytes);

    std::uint32_t m_dataOffset = 0;  // first body byte of the first "data" chunk
    std::uint32_t m_dataLength = 0;  // its stated body size in bytes
};

} // namespace quorbin
