#include "audio/WaveReader.h"

#include <algorithm>
#include <cstring>

#include "core/ByteOrder.h"
#include "mld/MldFormat.h"

namespace quorbin {

namespace {

constexpr std::uint64_t kRiffHeaderSize = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint64_t kFmtFieldsSize = 16;

bool IdIs(const std::uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// 0 when the bytes were read; otherwise the failure Parse reports.
std::int32_t Fetch(ByteSource& source, std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    switch (source.ReadAt(offset, dest, length)) {
    case SourceRead::Ok: return 0;
    case SourceRead::Missing: return WAVE_INVALID;
    case SourceRead::Failed: break;
    }
    return WAVE_READ_FAILED;
}

// The four fields of a "fmt " body.
WaveFormat FormatFields(const std::uint8_t* body)
{
    return WaveFormat{LoadLe16(body), LoadLe16(body + 2), LoadLe32(body + 4), LoadLe16(body + 14)};
}

// The sample rate of a format the converter takes, or WAVE_UNSUPPORTED.
std::int32_t CheckFormat(const WaveFormat& format)
{
    const std::uint32_t rate = format.sampleRate;
    if (format.formatTag != 1 || format.channels != 1 || rate < mld::kMinSampleRate || rate > mld::kMaxSampleRate
        || format.bitsPerSample != 16)
        return WAVE_UNSUPPORTED;
    return static_cast<std::int32_t>(rate);
}

bool LongerThan20Ms(std::uint32_t dataLength, std::int32_t sampleRate)
{
    const std::uint32_t bytesPerMs = static_cast<std::uint32_t>(sampleRate) / 500;
    return dataLength / bytesPerMs > 20;
}

// Fills `format` and returns the sample rate, WAVE_UNSUPPORTED or the failure
// of the read. A short "fmt " body still has its fields read at the usual
// offsets; when they would lie past the end the file is broken.
std::int32_t ReadFormat(ByteSource& source, std::uint64_t body, WaveFormat& format)
{
    if (source.Size() - body < kFmtFieldsSize)
        return WAVE_INVALID;
    std::uint8_t fields[kFmtFieldsSize];
    if (const std::int32_t failure = Fetch(source, body, fields, sizeof fields))
        return failure;
    format = FormatFields(fields);
    return CheckFormat(format);
}

}  // namespace

std::int32_t WaveReader::Parse(const ByteBuffer& fileBytes)
{
    MemorySource source(fileBytes.Data(), fileBytes.Size());
    return Parse(source);
}

std::int32_t WaveReader::Parse(ByteSource& source)
{
    std::uint8_t riff[kRiffHeaderSize];
    if (source.Size() <= kRiffHeaderSize)
        return WAVE_INVALID;
    if (const std::int32_t failure = Fetch(source, 0, riff, sizeof riff))
        return failure;
    if (!IdIs(riff, "RIFF") || !IdIs(riff + 8, "WAVE"))
        return WAVE_INVALID;

    bool fmtSeen = false;
    bool dataSeen = false;
    std::int32_t sampleRate = 0;
    std::uint64_t p = kRiffHeaderSize;
    // Fewer than 8 bytes left cannot hold a chunk header: they end the walk. A
    // stream's size is known only at its end, and its walk ends as soon as
    // both chunks that matter were found: it is never read further.
    while (p + kChunkHeaderSize <= source.Size() && !(source.Streamed() && fmtSeen && dataSeen)) {
        std::uint8_t header[kChunkHeaderSize];
        if (const std::int32_t failure = Fetch(source, p, header, sizeof header)) {
            if (p + kChunkHeaderSize > source.Size())
                break;  // a stream that ended here
            return failure;
        }
        const std::uint64_t size = LoadLe32(header + 4);
        const std::uint64_t body = p + kChunkHeaderSize;
        const bool isList = IdIs(header, "LIST");
        const std::uint64_t stride = isList ? size : size + (size & 1);
        if (source.Size() - body < stride)
            return WAVE_INVALID;

        if (IdIs(header, "fmt ") && !fmtSeen) {
            sampleRate = ReadFormat(source, body, m_format);
            if (sampleRate < 0)
                return sampleRate;
            fmtSeen = true;
        } else if (IdIs(header, "data") && !dataSeen) {
            m_dataOffset = body;
            m_dataLength = static_cast<std::uint32_t>(size);
            dataSeen = true;
        }
        p = body + stride;
    }

    if (!fmtSeen || !dataSeen)
        return WAVE_INVALID;
    return LongerThan20Ms(m_dataLength, sampleRate) ? sampleRate : WAVE_TOO_SHORT;
}

std::int32_t WaveReader::ReadData(ByteSource& source, std::uint64_t skipBytes, std::uint64_t maxBytes,
                                  ByteBuffer& out) const
{
    const std::uint64_t skip = std::min<std::uint64_t>(skipBytes, m_dataLength);
    const std::uint64_t length = std::min<std::uint64_t>(maxBytes, m_dataLength - skip);
    out.Clear();
    out.Resize(static_cast<std::size_t>(length));
    const std::int32_t failure = Fetch(source, m_dataOffset + skip, out.Data(), out.Size());
    if (failure != 0)
        out.Clear();
    return failure;
}

}  // namespace quorbin
