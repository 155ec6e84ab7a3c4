#pragma once
// Writes 16-bit mono PCM WAVE files with the canonical 44-byte header.
#include <cstdint>
#include <span>

#include "core/ByteBuffer.h"

namespace quorbin {

constexpr std::uint32_t kWaveHeaderSize = 44;

// Appends the whole WAVE file to `out` (which should be empty). Returns false,
// leaving `out` unchanged, when the samples do not fit in a 32-bit RIFF size or
// the rate is 0.
bool WriteMonoWave(std::span<const std::int16_t> samples, std::uint32_t sampleRate, ByteBuffer& out);

}  // namespace quorbin
