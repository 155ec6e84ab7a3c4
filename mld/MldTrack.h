#pragma once
// The track chunk of a melody file, for the builder (mld/MldBuilder.h).
#include <cstdint>
#include <span>

#include "audio/AdpcmSearchEncoder.h"
#include "core/ByteBuffer.h"
#include "core/Result.h"

namespace quorbin::MldBuilder {

// Appends the "trac" chunk: the coded audio of at most the first kMaxSamples
// of `samples` at `sampleRate`, and the events that play it once.
Result<> WriteTrack(std::span<const std::int16_t> samples, std::int32_t sampleRate, EncoderQuality quality,
                    ByteBuffer& track);

}  // namespace quorbin::MldBuilder
