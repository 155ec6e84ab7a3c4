#pragma once
// Checks a WAVE file and finds the body of its first "data" chunk, reading only
// the chunk headers and the "fmt " fields, so a file of any size costs the same.
#include <cstdint>

#include "core/ByteBuffer.h"
#include "core/ByteSource.h"

namespace quorbin {

constexpr std::int32_t WAVE_INVALID = -1;      // not RIFF WAVE, a chunk runs past the end, fmt/data missing
constexpr std::int32_t WAVE_UNSUPPORTED = -2;  // the first "fmt " is not 16-bit mono PCM at 4000..16000 Hz
constexpr std::int32_t WAVE_TOO_SHORT = -3;    // 20 ms of sound or less
constexpr std::int32_t WAVE_READ_FAILED = -4;  // the source could not be read

// The fields of a "fmt " chunk that decide whether the file is taken.
struct WaveFormat {
    std::uint16_t formatTag = 0;  // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
};

class WaveReader {
public:
    WaveReader() = default;
    virtual ~WaveReader() = default;

    // Returns the sample rate (4000..16000) or WAVE_INVALID, WAVE_UNSUPPORTED,
    // WAVE_TOO_SHORT, WAVE_READ_FAILED. The rate and the failure share one number
    // because the design fixes this signature. Never reads outside the source.
    std::int32_t Parse(ByteSource& source);
    std::int32_t Parse(const ByteBuffer& fileBytes);

    // After an accepted Parse: replaces `out` with at most `maxBytes` of the
    // "data" body, starting `skipBytes` into it (nothing when that is past its
    // end). Returns 0, WAVE_INVALID when the bytes are no longer there or WAVE_READ_FAILED.
    std::int32_t ReadData(ByteSource& source, std::uint64_t skipBytes, std::uint64_t maxBytes, ByteBuffer& out) const;

    std::uint64_t m_dataOffset = 0;  // first body byte of the first "data" chunk
    std::uint32_t m_dataLength = 0;  // its stated body size in bytes
    WaveFormat m_format;             // of the first "fmt " chunk, also when it is not supported
};

}  // namespace quorbin
