#include "mld/MldBuilder.h"

#include <algorithm>
#include <initializer_list>


namespace quorbin {

namespace {

constexpr std::int32_t kMaxDelta = 255;

void Append(ByteBuffer& buf, std::initializer_list<std::uint8_t> bytes)
{
    buf.Append(bytes.begin(), bytes.size());
}

void AppendBigEndian16(ByteBuffer& buf, std::uint32_t value)
{
    buf.Append(static_cast<std::uint8_t>(value >> 8));
    buf.Append(static_cast<std::uint8_t>(value));
}

} // namespace

bool MldBuilder::DataBody(const ByteBuffer& fileBytes, std::span<const std::uint8_t>& body) const
{
    const std::uint64_t fileSize = fileBytes.Size();
    if (m_dataOffset > fileSize || m_dataLength > fileSize - m_dataOffset)
        return false;
    body = std::span<const std::uint8_t>(fileBytes.Data() + m_dataOffset, m_dataLength);
    return true;
}

std::int32_t MldBuilder::EncodeDataChunk(const ByteBuffer& fileBytes, ByteBuffer& coded) const
{
    std::span<const std::uint8_t> samples;
    if (!DataBody(fileBytes, samples))
        return -1;
    return EncodeSamples(samples, coded);
}

std::int32_t MldBuilder::EncodeSamples(std::span<const std::uint8_t> sampleBytes, ByteBuffer& coded,
                                       EncoderQuality quality)
{
    const auto usedBytes = static_cast<std::uint32_t>(std::min<std::size_t>(sampleBytes.size(), kMaxUsedSampleBytes));
    const std::uint32_t samples = usedBytes / 2;
    std::uint32_t length = samples / 2 + samples % 2;
    coded.Resize(length);
    if (!adpcm_encode_with(quality, sampleBytes.data(), usedBytes, coded.Data(), &length))
        return -1;
    coded.Resize(length);
    return 0;
}

std::int32_t MldBuilder::TicksForLength(std::uint32_t codedLength, std::int32_t sampleRate)
{
    const std::int32_t kiloHertz = sampleRate / 1000;
    const double bytesPerTick = kiloHertz * 0.5 * 10;
    if (bytesPerTick <= 0)
        return 0;
    return static_cast<std::int32_t>(codedLength / bytesPerTick + 1.0);
}

void MldBuilder::WriteAudioData(ByteBuffer& coded, std::int32_t sampleRate, ByteBuffer& track)
{
    if (coded.Size() > kMaxCodedAudio)
        coded.Resize(kMaxCodedAudio);
    const auto n = static_cast<std::uint32_t>(coded.Size());
    Append(track, {0x00, 0xFF, 0xFF});
    AppendBigEndian16(track, n + 8);
    Append(track, {0x11, 0x01, 0xF0, 0x07, 0x00, 0x01});
    AppendBigEndian16(track, static_cast<std::uint32_t>(sampleRate));
    track.Append(coded);
}

void MldBuilder::WritePlayback(std::uint32_t codedLength, std::int32_t sampleRate, ByteBuffer& track)
{
    std::int32_t ticks = TicksForLength(codedLength, sampleRate);
    Append(track, {0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x03, 0x00, 0x7F});
    if (ticks < 1) {
        ticks = 1;
    } else if (ticks > kMaxDelta) {
        const std::int32_t fillers = (ticks - 1) / kMaxDelta;
        ticks -= kMaxDelta * fillers;
        for (std::int32_t i = 0; i < fillers; ++i)
            Append(track, {0xFF, 0xFF, 0xDE, 0x00});
    }
    track.Append(static_cast<std::uint8_t>(ticks));
    Append(track, {0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF1, 0x05, 0x00});
}

std::int32_t MldBuilder::WriteTrack(const ByteBuffer& fileBytes, std::int32_t sampleRate, ByteBuffer& track) const
{
    std::span<const std::uint8_t> samples;
    if (!DataBody(fileBytes, samples))
        return -1;
    return WriteTrackFromSamples(samples, sampleRate, track);
}

std::int32_t MldBuilder::WriteTrackFromSamples(std::span<const std::uint8_t> sampleBytes, std::int32_t sampleRate,
                                               ByteBuffer& track, EncoderQuality quality)
{
    Append(track, {'t', 'r', 'a', 'c', 0x00, 0x00, 0x00, 0x00});
    Append(track, {0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03, 0x00});

    ByteBuffer coded;
    if (EncodeSamples(sampleBytes, coded, quality) < 0)
        return -1;
    WriteAudioData(coded, sampleRate, track);

    Append(track, {0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x04, 0x01});
    Append(track, {0x00, 0xFF, 0xD0, 0x00});
    Append(track, {0x00, 0xFF, 0xB0, 0x7F});
    Append(track, {0x00, 0xFF, 0xC3, 0x7D});
    Append(track, {0x00, 0xFF, 0xBA, 0x01});
    WritePlayback(static_cast<std::uint32_t>(coded.Size()), sampleRate, track);
    Append(track, {0x00, 0xFF, 0xD0, 0x01});
    Append(track, {0x00, 0xFF, 0xDF, 0x00});

    const auto length = static_cast<std::uint32_t>(track.Size() - 8);
    for (int i = 0; i < 4; ++i)
        track.Set(4 + i, static_cast<std::uint8_t>(length >> (24 - 8 * i)));
    return 0;
}

} // namespace quorbin
