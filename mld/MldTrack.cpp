#include "mld/MldTrack.h"

#include <algorithm>
#include <initializer_list>

#include "audio/AdpcmEncoder.h"
#include "core/ByteOrder.h"
#include "mld/MldFormat.h"

namespace quorbin::MldBuilder {

using namespace mld;

namespace {

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

// The coded audio of the samples that fit in the track (at most kMaxCodedAudio bytes).
Result<ByteBuffer> EncodeDataChunk(std::span<const std::int16_t> samples, EncoderQuality quality)
{
    const std::span<const std::int16_t> used = samples.first(std::min<std::size_t>(samples.size(), kMaxSamples));
    ByteBuffer coded;
    coded.Resize(adpcm_coded_size(used.size()));
    const Result<std::size_t> length = adpcm_encode_with(quality, used, {coded.Data(), coded.Size()});
    if (!length)
        return length.Reason();
    coded.Resize(*length);
    return coded;
}

// The play time of `codedLength` bytes in ticks of 10 ms: the whole ticks of
// sound and one more. A tick covers (sampleRate / 1000) * 0.5 * 10 bytes, the
// rate in whole kilohertz.
std::int32_t TicksForLength(std::uint32_t codedLength, std::int32_t sampleRate)
{
    const std::int32_t kiloHertz = sampleRate / 1000;
    const double bytesPerTick = kiloHertz * 0.5 * 10;
    if (bytesPerTick <= 0)
        return 0;
    return static_cast<std::int32_t>(codedLength / bytesPerTick + 1.0);
}

// The audio data event: the rate and the coded audio, cut to the largest payload.
void WriteAudioData(ByteBuffer& coded, std::int32_t sampleRate, ByteBuffer& track)
{
    if (coded.Size() > kMaxCodedAudio)
        coded.Resize(kMaxCodedAudio);
    const auto n = static_cast<std::uint32_t>(coded.Size());
    AppendLongEvent(track, 0, kAudioDataCommand, sizeof kAudioFormat + 2 + n);
    track.Append(kAudioFormat, sizeof kAudioFormat);
    AppendBe16(track, static_cast<std::uint32_t>(sampleRate));
    track.Append(coded);
}

// The audio start event, the filler events of a wait beyond kMaxDelta ticks
// and the audio stop event, the play time after the start.
void WritePlayback(std::uint32_t codedLength, std::int32_t sampleRate, ByteBuffer& track)
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

}  // namespace

Result<> WriteTrack(std::span<const std::int16_t> samples, std::int32_t sampleRate, EncoderQuality quality,
                    ByteBuffer& track)
{
    Result<ByteBuffer> coded = EncodeDataChunk(samples, quality);
    if (!coded)
        return coded.Reason();
    track.Append(reinterpret_cast<const std::uint8_t*>(kTrackId.data()), kTrackId.size());
    track.Append(4, 0x00);  // the track length, set at the end
    AppendSetup(track, 0x03, 0x00);
    WriteAudioData(*coded, sampleRate, track);

    AppendSetup(track, 0x04, 0x01);
    AppendShortEvent(track, kMarkEvent, 0x00);
    AppendShortEvent(track, kSettingB0Event, 0x7F);
    AppendShortEvent(track, kTimingEvent, kTempo);
    AppendShortEvent(track, kSettingBAEvent, 0x01);
    WritePlayback(static_cast<std::uint32_t>(coded->Size()), sampleRate, track);
    AppendShortEvent(track, kMarkEvent, 0x01);
    AppendShortEvent(track, kEndOfTrack, 0x00);

    StoreBe32(track.Data() + 4, static_cast<std::uint32_t>(track.Size() - kTrackHeaderSize));
    return {};
}

}  // namespace quorbin::MldBuilder
