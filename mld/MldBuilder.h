#pragma once
// Lays out a complete melody file (".mld") in memory from a parsed WAVE file.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "core/ByteBuffer.h"
#include "audio/AdpcmSearchEncoder.h"
#include "audio/WaveReader.h"
#include "mld/MldFormat.h"

namespace quorbin {

struct ContentInfo {
    std::string title;      // CP932 bytes, at most mld::kMaxTitleBytes
    std::string copyright;  // CP932 bytes, at most mld::kMaxCopyrightBytes
    std::uint8_t protectionFlag = 0;
    std::string date;  // 8 digits "YYYYMMDD"; empty: the local date at build time
};

using mld::kMaxCodedAudio;
// Two bytes per sample: only this much of the "data" chunk can reach a melody file.
constexpr std::uint32_t kMaxUsedSampleBytes = 2 * mld::kMaxSamples;
constexpr const char* kSoftwareName = "Quorbin Ver.1.0.0";

class MldBuilder : public WaveReader {
public:
    // Returns 0 when the whole file is in `out`, -1 when the track failed or `out` was not empty
    // (then `out` is left as it was). The 0/-1 convention is fixed by the design.
    // `quality` picks the encoder of the audio; the file's layout is the same.
    std::int32_t Build(const ContentInfo& info, const ByteBuffer& fileBytes, std::int32_t sampleRate, ByteBuffer& out,
                       EncoderQuality quality = EncoderQuality::Standard);
    // The same from the "data" body alone (or its first kMaxUsedSampleBytes bytes).
    static std::int32_t BuildFromSamples(const ContentInfo& info, std::span<const std::uint8_t> sampleBytes,
                                         std::int32_t sampleRate, ByteBuffer& out,
                                         EncoderQuality quality = EncoderQuality::Standard);

    static void WriteChunk(ByteBuffer& buf, std::string_view id, const std::uint8_t* data, std::uint32_t length);
    static void WriteInfoBlock(const ContentInfo& info, ByteBuffer& block);
    static std::string MakeDateStamp();
    static std::string MakeDateStamp(std::time_t when);  // "19700101" when `when` has no local time
    // Encodes only the samples whose codes fit in the track (at most kMaxCodedAudio bytes).
    // Returns -1 when the recorded data chunk does not lie inside fileBytes.
    std::int32_t EncodeDataChunk(const ByteBuffer& fileBytes, ByteBuffer& coded) const;
    static std::int32_t EncodeSamples(std::span<const std::uint8_t> sampleBytes, ByteBuffer& coded,
                                      EncoderQuality quality = EncoderQuality::Standard);
    std::int32_t WriteTrack(const ByteBuffer& fileBytes, std::int32_t sampleRate, ByteBuffer& track) const;
    static std::int32_t WriteTrackFromSamples(std::span<const std::uint8_t> sampleBytes, std::int32_t sampleRate,
                                              ByteBuffer& track, EncoderQuality quality = EncoderQuality::Standard);
    static void WriteAudioData(ByteBuffer& coded, std::int32_t sampleRate, ByteBuffer& track);
    static void WritePlayback(std::uint32_t codedLength, std::int32_t sampleRate, ByteBuffer& track);
    static std::int32_t TicksForLength(std::uint32_t codedLength, std::int32_t sampleRate);

private:
    // The recorded "data" body inside fileBytes; false when it does not lie inside them.
    bool DataBody(const ByteBuffer& fileBytes, std::span<const std::uint8_t>& body) const;
};

}  // namespace quorbin
