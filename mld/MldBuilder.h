#pragma once
// Lays out a complete melody file (".mld") in memory from 16-bit samples.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>

#include "audio/AdpcmSearchEncoder.h"
#include "core/ByteBuffer.h"
#include "core/Result.h"

namespace quorbin {

struct ContentInfo {
    std::string title;      // CP932 bytes, at most mld::kMaxTitleBytes
    std::string copyright;  // CP932 bytes, at most mld::kMaxCopyrightBytes
    std::uint8_t protectionFlag = 0;
    std::string date;  // 8 digits "YYYYMMDD"; empty: the local date at build time
};

constexpr const char* kSoftwareName = "Quorbin Ver.1.0.0";

// The builder's operations: free functions, kept under the builder's name.
namespace MldBuilder {

// The whole melody file: the header block of `info`, then the track whose
// audio is `samples` at `sampleRate` coded as `quality` asks (the layout is
// the same for both). Only the first kMaxSamples samples fit in a file; the
// rest are dropped. Fails only when the encoder does.
Result<ByteBuffer> Build(const ContentInfo& info, std::span<const std::int16_t> samples, std::int32_t sampleRate,
                         EncoderQuality quality = EncoderQuality::Standard);

// The local date as "YYYYMMDD"; "19700101" when `when` has no local time.
std::string MakeDateStamp();
std::string MakeDateStamp(std::time_t when);

}  // namespace MldBuilder
}  // namespace quorbin
