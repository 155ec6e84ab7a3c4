#include "audio/WaveReader.h"

#include <algorithm>
#include <cstring>

#include "core/ByteOrder.h"

namespace quorbin {

namespace {

constexpr std::uint64_t kRiffHeaderSize = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint64_t kFmtFieldsSize = 16;

bool IdIs(const std::uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// Bytes that are not there make the file broken; others keep their reason.
Result<> Fetch(ByteSource& source, std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    Result<> read = source.ReadAt(offset, dest, length);
    if (!read && read.Reason().kind == ReasonKind::BytesMissing)
        return ReasonKind::InvalidWave;
    return read;
}

// The four fields of a "fmt " body.
WaveFormat FormatFields(const std::uint8_t* body)
{
    return WaveFormat{LoadLe16(body), LoadLe16(body + 2), LoadLe32(body + 4), LoadLe16(body + 14)};
}

}  // namespace

bool PlaysLongerThan20Ms(std::uint64_t dataBytes, std::int32_t sampleRate)
{
    const std::uint64_t bytesPerMs = static_cast<std::uint32_t>(sampleRate) / 500;
    return bytesPerMs != 0 && dataBytes / bytesPerMs > 20;
}

WaveReader::WaveReader(std::uint32_t lowestRate, std::uint32_t highestRate)
    : m_lowestRate(lowestRate),
      m_highestRate(highestRate)
{}

// The sample rate of a format the reader takes, or the format found.
Result<std::int32_t> WaveReader::CheckFormat() const
{
    const std::uint32_t rate = m_format.sampleRate;
    if (m_format.formatTag != 1 || m_format.channels != 1 || rate < m_lowestRate || rate > m_highestRate
        || m_format.bitsPerSample != 16) {
        FailureReason found = FailureReason::Of(ReasonKind::FormatFound);
        found.format = m_format;
        return found;
    }
    return static_cast<std::int32_t>(rate);
}

// Reads the format and returns its sample rate. A short "fmt " body still has
// its fields read at the usual offsets; when they would lie past the end the
// file is broken.
Result<std::int32_t> WaveReader::ReadFormat(ByteSource& source, std::uint64_t body)
{
    if (source.Size() - body < kFmtFieldsSize)
        return ReasonKind::InvalidWave;
    std::uint8_t fields[kFmtFieldsSize];
    if (Result<> read = Fetch(source, body, fields, sizeof fields); !read)
        return read.Reason();
    m_format = FormatFields(fields);
    return CheckFormat();
}

Result<std::int32_t> WaveReader::Parse(const ByteBuffer& fileBytes)
{
    MemorySource source(fileBytes.Data(), fileBytes.Size());
    return Parse(source);
}

Result<std::int32_t> WaveReader::Parse(ByteSource& source)
{
    std::uint8_t riff[kRiffHeaderSize];
    if (source.Size() <= kRiffHeaderSize)
        return ReasonKind::InvalidWave;
    if (Result<> read = Fetch(source, 0, riff, sizeof riff); !read)
        return read.Reason();
    if (!IdIs(riff, "RIFF") || !IdIs(riff + 8, "WAVE"))
        return ReasonKind::InvalidWave;

    bool fmtSeen = false;
    bool dataSeen = false;
    std::int32_t sampleRate = 0;
    std::uint64_t p = kRiffHeaderSize;
    // Fewer than 8 bytes left cannot hold a chunk header: they end the walk. A
    // stream's size is known only at its end, and its walk ends as soon as
    // both chunks that matter were found: it is never read further.
    while (p + kChunkHeaderSize <= source.Size() && !(source.Streamed() && fmtSeen && dataSeen)) {
        std::uint8_t header[kChunkHeaderSize];
        if (Result<> read = Fetch(source, p, header, sizeof header); !read) {
            if (p + kChunkHeaderSize > source.Size())
                break;  // a stream that ended here
            return read.Reason();
        }
        const std::uint64_t size = LoadLe32(header + 4);
        const std::uint64_t body = p + kChunkHeaderSize;
        const bool isList = IdIs(header, "LIST");
        const std::uint64_t stride = isList ? size : size + (size & 1);
        if (source.Size() - body < stride)
            return ReasonKind::InvalidWave;

        if (IdIs(header, "fmt ") && !fmtSeen) {
            const Result<std::int32_t> rate = ReadFormat(source, body);
            if (!rate)
                return rate;
            sampleRate = *rate;
            fmtSeen = true;
        } else if (IdIs(header, "data") && !dataSeen) {
            m_dataOffset = body;
            m_dataLength = static_cast<std::uint32_t>(size);
            // In a stream it runs to the stream's end; a placeholder says no more than that.
            m_streamed = source.Streamed();
            if (m_streamed && IsPlaceholderDataLength(m_dataLength))
                m_dataLength = 0xFFFFFFFF;
            dataSeen = true;
        }
        p = body + stride;
    }

    if (!fmtSeen || !dataSeen)
        return ReasonKind::InvalidWave;
    if (!PlaysLongerThan20Ms(m_dataLength, sampleRate))
        return ReasonKind::TooShort;
    return sampleRate;
}

Result<std::vector<std::int16_t>> WaveReader::ReadSamples(ByteSource& source, std::uint64_t first,
                                                          std::uint64_t count) const
{
    const std::uint64_t skip = std::min(first, SampleCount());
    const auto length = static_cast<std::size_t>(std::min(count, SampleCount() - skip));
    std::vector<std::uint8_t> bytes(2 * length);
    const std::uint64_t offset = m_dataOffset + 2 * skip;
    if (Result<> read = source.ReadAt(offset, bytes.data(), bytes.size()); !read) {
        // A stream that ended sooner holds its last bytes, and its size is known now.
        if (!m_streamed || read.Reason().kind != ReasonKind::BytesMissing || source.Size() == kUnknownSize)
            return read.Reason();
        const std::uint64_t held = source.Size() > offset ? source.Size() - offset : 0;
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(held, bytes.size()) & ~std::uint64_t{1}));
    }
    std::vector<std::int16_t> samples(bytes.size() / 2);
    LoadLe16Samples(bytes.data(), samples);
    return samples;
}

}  // namespace quorbin
