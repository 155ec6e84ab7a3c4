#include "audio/WaveWriter.h"

#include <cstring>

#include "core/ByteOrder.h"

namespace quorbin {

namespace {

constexpr std::uint16_t kPcmFormat = 1;
constexpr std::uint16_t kChannels = 1;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::uint16_t kBytesPerFrame = kChannels * kBitsPerSample / 8;
// RIFF size = 36 + data size must stay within 32 bits.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kWaveHeaderSize - 8);

void AppendText(ByteBuffer& out, const char* text)
{
    out.Append(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

}  // namespace

bool WriteMonoWave(std::span<const std::int16_t> samples, std::uint32_t sampleRate, ByteBuffer& out)
{
    const std::uint64_t dataBytes = std::uint64_t{samples.size()} * kBytesPerFrame;
    if (dataBytes > kMaxDataBytes || sampleRate == 0 || sampleRate > 0xFFFFFFFFu / kBytesPerFrame)
        return false;
    const auto dataSize = static_cast<std::uint32_t>(dataBytes);
    out.Reserve(out.Size() + kWaveHeaderSize + dataSize);
    AppendText(out, "RIFF");
    AppendLe32(out, kWaveHeaderSize - 8 + dataSize);
    AppendText(out, "WAVE");
    AppendText(out, "fmt ");
    AppendLe32(out, 16);
    AppendLe16(out, kPcmFormat);
    AppendLe16(out, kChannels);
    AppendLe32(out, sampleRate);
    AppendLe32(out, sampleRate * kBytesPerFrame);
    AppendLe16(out, kBytesPerFrame);
    AppendLe16(out, kBitsPerSample);
    AppendText(out, "data");
    AppendLe32(out, dataSize);
    for (const std::int16_t sample : samples)
        AppendLe16(out, static_cast<std::uint16_t>(sample));
    return true;
}

}  // namespace quorbin
