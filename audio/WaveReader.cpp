#include "audio/WaveReader.h"

#include <cstring>

namespace quorbin {

namespace {

constexpr std::uint64_t kRiffHeaderSize = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint64_t kFmtFieldsSize = 16;

std::uint16_t ReadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IdIs(const std::uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// Checks the four fields of a "fmt " body that starts at `body`; the caller
// guarantees that 16 bytes are readable there. Returns the sample rate or
// WAVE_UNSUPPORTED.
std::int32_t CheckFormat(const std::uint8_t* body)
{
    const std::uint16_t formatTag = ReadLe16(body);
    const std::uint16_t channels = ReadLe16(body + 2);
    const std::uint32_t rate = ReadLe32(body + 4);
    const std::uint16_t bitsPerSample = ReadLe16(body + 14);
    if (formatTag != 1 || channels != 1 || rate < 4000 || rate > 16000 || bitsPerSample != 16)
        return WAVE_UNSUPPORTED;
    return static_cast<std::int32_t>(rate);
}

bool LongerThan20Ms(std::uint32_t dataLength, std::int32_t sampleRate)
{
    const std::uint32_t bytesPerMs = static_cast<std::uint32_t>(sampleRate) / 500;
    return dataLength / bytesPerMs > 20;
}

} // namespace

std::int32_t WaveReader::Parse(const ByteBuffer& fileBytes)
{
    const std::uint8_t* bytes = fileBytes.Data();
    const std::uint64_t n = fileBytes.Size();
    if (n <= kRiffHeaderSize || !IdIs(bytes, "RIFF") || !IdIs(bytes + 8, "WAVE"))
        return WAVE_INVALID;

    bool fmtSeen = false;
    bool dataSeen = false;
    std::int32_t sampleRate = 0;
    std::uint64_t p = kRiffHeaderSize;
    // Fewer than 8 bytes left cannot hold a chunk header: they end the walk.
    while (p + kChunkHeaderSize <= n) {
        const std::uint8_t* header = bytes + p;
        const std::uint64_t size = ReadLe32(header + 4);
        const std::uint64_t body = p + kChunkHeaderSize;
        const bool isList = IdIs(header, "LIST");
        const std::uint64_t stride = isList ? size : size + (size & 1);
        if (n - body < stride)
            return WAVE_INVALID;

        if (IdIs(header, "fmt ") && !fmtSeen) {
            // A short "fmt " body still has its fields read at the usual
            // offsets; when they would lie past the end the file is broken.
            if (n - body < kFmtFieldsSize)
                return WAVE_INVALID;
            sampleRate = CheckFormat(bytes + body);
            if (sampleRate < 0)
                return sampleRate;
            fmtSeen = true;
        } else if (IdIs(header, "data") && !dataSeen) {
            if (body > UINT32_MAX)
                return WAVE_INVALID;  // its offset could not be recorded
            m_dataOffset = static_cast<std::uint32_t>(body);
            m_dataLength = static_cast<std::uint32_t>(size);
            dataSeen = true;
        }
        p = body + stride;
    }

    if (!fmtSeen || !dataSeen)
        return WAVE_INVALID;
    return LongerThan20Ms(m_dataLength, sampleRate) ? sampleRate : WAVE_TOO_SHORT;
}

} // namespace quorbin
