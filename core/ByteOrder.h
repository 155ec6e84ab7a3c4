#pragma once
// Fixed-width integers in a byte stream: little-endian as RIFF WAVE files and
// bitmaps store them, big-endian as melody files do.
#include <cstdint>
#include <span>

#include "core/ByteBuffer.h"

namespace quorbin {

constexpr std::uint16_t LoadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t LoadLe32(const std::uint8_t* p)
{
    return LoadLe16(p) | (static_cast<std::uint32_t>(LoadLe16(p + 2)) << 16);
}

// The 16-bit little-endian samples of a WAVE "data" body: `samples.size()`
// of them from `bytes` on. The one place that turns such bytes into samples.
inline void LoadLe16Samples(const std::uint8_t* bytes, std::span<std::int16_t> samples)
{
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(LoadLe16(bytes + 2 * i));
}

constexpr std::uint16_t LoadBe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

constexpr std::uint32_t LoadBe32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(LoadBe16(p)) << 16) | LoadBe16(p + 2);
}

constexpr void StoreBe16(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

constexpr void StoreBe32(std::uint8_t* p, std::uint32_t value)
{
    StoreBe16(p, value >> 16);
    StoreBe16(p + 2, value);
}

// Appending works on a ByteBuffer and on any container of bytes with push_back
// (std::string, std::vector<std::uint8_t>, QByteArray).
inline void AppendByte(ByteBuffer& out, std::uint32_t value)
{
    out.Append(static_cast<std::uint8_t>(value));
}

template <typename Bytes>
void AppendByte(Bytes& out, std::uint32_t value)
{
    out.push_back(static_cast<typename Bytes::value_type>(value & 0xFF));
}

template <typename Bytes>
void AppendLe16(Bytes& out, std::uint32_t value)
{
    AppendByte(out, value);
    AppendByte(out, value >> 8);
}

template <typename Bytes>
void AppendLe32(Bytes& out, std::uint32_t value)
{
    AppendLe16(out, value);
    AppendLe16(out, value >> 16);
}

template <typename Bytes>
void AppendBe16(Bytes& out, std::uint32_t value)
{
    AppendByte(out, value >> 8);
    AppendByte(out, value);
}

template <typename Bytes>
void AppendBe32(Bytes& out, std::uint32_t value)
{
    AppendBe16(out, value >> 16);
    AppendBe16(out, value);
}

}  // namespace quorbin
