#pragma once
// Checks a WAVE file and finds the body of its first "data" chunk, reading only
// the chunk headers and the "fmt " fields, so a file of any size costs the
// same; then hands out the samples of that body.
#include <cstdint>
#include <vector>

#include "core/ByteBuffer.h"
#include "core/ByteSource.h"
#include "core/Result.h"
#include "core/WaveFormat.h"

namespace quorbin {

// Whether `dataBytes` of 16-bit samples at `sampleRate` play longer than 20 ms.
bool PlaysLongerThan20Ms(std::uint64_t dataBytes, std::int32_t sampleRate);

// A "data" size that a writer to a pipe states because it cannot know the
// length (0xFFFFFFFF or one less, 0x7FFFF000, 0): no length at all.
constexpr bool IsPlaceholderDataLength(std::uint32_t bytes)
{
    return bytes == 0xFFFFFFFFu || bytes == 0xFFFFFFFEu || bytes == 0x7FFFF000u || bytes == 0;
}

class WaveReader {
public:
    // Takes 16-bit mono PCM at `lowestRate` to `highestRate` samples a second.
    WaveReader(std::uint32_t lowestRate, std::uint32_t highestRate);

    // The sample rate, or why the file is not taken: InvalidWave (not RIFF
    // WAVE, a chunk runs past the end, no "fmt " or no "data"), FormatFound
    // with the first "fmt " chunk's format when that is not the one taken,
    // TooShort (20 ms of sound or less), or why the source could not be read.
    // Never reads outside the source.
    Result<std::int32_t> Parse(ByteSource& source);
    Result<std::int32_t> Parse(const ByteBuffer& fileBytes);

    // After an accepted Parse: at most `count` samples of the "data" body from
    // sample `first` on (none past its end); BytesMissing when they are no
    // longer there, or why they could not be read. In a stream the body ends
    // where the stream ends, whatever its size says.
    Result<std::vector<std::int16_t>> ReadSamples(ByteSource& source, std::uint64_t first, std::uint64_t count) const;

    std::uint64_t DataOffset() const { return m_dataOffset; }
    std::uint32_t DataLength() const { return m_dataLength; }
    std::uint64_t SampleCount() const { return m_dataLength / 2; }
    // Of the first "fmt " chunk, also when it is not supported.
    const WaveFormat& Format() const { return m_format; }

private:
    Result<std::int32_t> CheckFormat() const;
    Result<std::int32_t> ReadFormat(ByteSource& source, std::uint64_t body);

    std::uint32_t m_lowestRate;
    std::uint32_t m_highestRate;
    std::uint64_t m_dataOffset = 0;  // first body byte of the first "data" chunk
    std::uint32_t m_dataLength = 0;  // its stated body size in bytes
    bool m_streamed = false;
    WaveFormat m_format;
};

}  // namespace quorbin
