#pragma once
// Builds the bytes of WAVE files for tests: a RIFF header followed by chunks
// given one by one, so malformed layouts are as easy to write as good ones.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/ByteBuffer.h"
#include "core/ByteOrder.h"

namespace quorbin::fixtures {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& out, std::uint32_t value)
{
    AppendLe16(out, value);
}
inline void PutLe32(Bytes& out, std::uint32_t value)
{
    AppendLe32(out, value);
}

// Byte by byte: GCC 12 mistakes a range insert here for an overflow when inlined.
inline void PutText(Bytes& out, const std::string& text)
{
    for (const char c : text)
        out.push_back(static_cast<std::uint8_t>(c));
}

// One chunk: its id, its body and the size written in its header (the body
// size unless `statedSize` is given). A pad byte follows an odd body when `pad` is set.
struct Chunk {
    std::string id;
    Bytes body;
    bool pad = true;
    std::int64_t statedSize = -1;
};

inline Bytes FmtBody(std::uint32_t rate, std::uint16_t channels = 1, std::uint16_t bits = 16,
                     std::uint16_t formatTag = 1)
{
    Bytes body;
    PutLe16(body, formatTag);
    PutLe16(body, channels);
    PutLe32(body, rate);
    PutLe32(body, rate * channels * (bits / 8));
    PutLe16(body, channels * (bits / 8));
    PutLe16(body, bits);
    return body;
}

inline Chunk Fmt(std::uint32_t rate)
{
    return {"fmt ", FmtBody(rate)};
}

inline Chunk Data(const std::vector<std::int16_t>& samples)
{
    Chunk chunk{"data", {}};
    for (std::int16_t s : samples)
        PutLe16(chunk.body, static_cast<std::uint16_t>(s));
    return chunk;
}

inline Chunk DataOfSize(std::uint32_t bytes)
{
    return {"data", Bytes(bytes, 0)};
}

inline Bytes RiffFile(std::initializer_list<Chunk> chunks, std::uint32_t riffSize = 0xFFFFFFFF)
{
    Bytes out;
    PutText(out, "RIFF");
    PutLe32(out, 0);
    PutText(out, "WAVE");
    for (const Chunk& chunk : chunks) {
        PutText(out, chunk.id);
        PutLe32(out, chunk.statedSize < 0 ? static_cast<std::uint32_t>(chunk.body.size())
                                          : static_cast<std::uint32_t>(chunk.statedSize));
        out.insert(out.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.pad && chunk.body.size() % 2 == 1)
            out.push_back(0);
    }
    const std::uint32_t size = riffSize == 0xFFFFFFFF ? static_cast<std::uint32_t>(out.size() - 8) : riffSize;
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return out;
}

// A buffer holding exactly `bytes`, with no spare capacity behind them, so
// that a read past the end is caught by AddressSanitizer.
inline ByteBuffer Exact(const Bytes& bytes)
{
    return ByteBuffer(Bytes(bytes.begin(), bytes.end()));
}

// The usual 44-byte-header file: "fmt " then "data".
inline ByteBuffer MonoWave(const std::vector<std::int16_t>& samples, std::uint32_t rate = 8000)
{
    return Exact(RiffFile({Fmt(rate), Data(samples)}));
}

}  // namespace quorbin::fixtures
