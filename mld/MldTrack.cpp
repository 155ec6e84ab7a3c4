#include "mld/MldBuilder.h"

#include <algorithm>
#include <initializer_list>

#include "core/ByteOrder.h"
#include "mld/MldFormat.h"

namespace quorbin {

namespace {

using namespace mld;

void Append(ByteBuffer& buf, std::initializer_list<std::uint8_t> bytes)
{
    buf.Append(bytes.begin(), bytes.size());
}

// A long event: delta time, marker, code, the 16-bit payload length; the
// payload starts with its prefix and `command`. The caller appends the rest
// of the payload, `restLength` bytes.
void AppendLongEvent(ByteBuffer& track, std::uint8_t delta, std::uint8_t command, std::uint32_t restLength)
{
    Append(track, {delta, kEventMarker, kLongEvent});
    AppendBe16(track, sizeof kPayloadPrefix + 1 + restLength);
    track.Append(kPayloadPrefix, sizeof kPayloadPrefix);
    track.Append(command);
}

void AppendShortEvent(ByteBuffer& track, std::uint8_t code, std::uint8_t data)
{
    Append(track, {0x00, kEventMarker, code, data});
}

void AppendSetup(ByteBuffer& track, std::uint8_t first, std::uint8_t second)
{
    AppendLongEvent(track, 0, kSetupCommand, 2);
    Append(track, {first, second});
}

}  // namespace

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
    AppendLongEvent(track, 0, kAudioDataCommand, sizeof kAudioFormat + 2 + n);
    track.Append(kAudioFormat, sizeof kAudioFormat);
    AppendBe16(track, static_cast<std::uint32_t>(sampleRate));
    track.Append(coded);
}

void MldBuilder::WritePlayback(std::uint32_t codedLength, std::int32_t sampleRate, ByteBuffer& track)
{
    std::int32_t ticks = TicksForLength(codedLength, sampleRate);
    AppendLongEvent(track, 0, kPlaybackCommand, 3);
    Append(track, {kAudioStart, 0x00, 0x7F});
    if (ticks < 1) {
        ticks = 1;
    } else if (ticks > kMaxDelta) {
        const std::int32_t fillers = (ticks - 1) / kMaxDelta;
        ticks -= kMaxDelta * fillers;
        for (std::int32_t i = 0; i < fillers; ++i)
            Append(track, {static_cast<std::uint8_t>(kMaxDelta), kEventMarker, kFillerEvent, 0x00});
    }
    AppendLongEvent(track, static_cast<std::uint8_t>(ticks), kPlaybackCommand, 2);
    Append(track, {kAudioStop, 0x00});
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
    track.Append(reinterpret_cast<const std::uint8_t*>(kTrackId.data()), kTrackId.size());
    track.Append(4, 0x00);  // the track length, set at the end
    AppendSetup(track, 0x03, 0x00);

    ByteBuffer coded;
    if (EncodeSamples(sampleBytes, coded, quality) < 0)
        return -1;
    WriteAudioData(coded, sampleRate, track);

    AppendSetup(track, 0x04, 0x01);
    AppendShortEvent(track, kMarkEvent, 0x00);
    AppendShortEvent(track, kSettingB0Event, 0x7F);
    AppendShortEvent(track, kTimingEvent, kTempo);
    AppendShortEvent(track, kSettingBAEvent, 0x01);
    WritePlayback(static_cast<std::uint32_t>(coded.Size()), sampleRate, track);
    AppendShortEvent(track, kMarkEvent, 0x01);
    AppendShortEvent(track, kEndOfTrack, 0x00);

    StoreBe32(track.Data() + 4, static_cast<std::uint32_t>(track.Size() - kTrackHeaderSize));
    return 0;
}

}  // namespace quorbin
