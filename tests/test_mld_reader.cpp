// Reading melody files back (structure, fields, refusal of damaged files with
// the offset of the damage), decoding their audio and writing it as WAVE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

#include "audio/AdpcmDecoder.h"
#include "audio/AdpcmEncoder.h"
#include "audio/WaveWriter.h"
#include "audio/WaveReader.h"
#include "mld/MldBuilder.h"
#include "mld/MldReader.h"
#include "SyntheticSignals.h"
#include "WaveFixtures.h"

using namespace quorbin;
using fixtures::Bytes;

namespace {

// A melody file built from `samples` exactly as the converter builds it.
Bytes BuildMld(const std::vector<std::int16_t>& samples, std::int32_t rate, const ContentInfo& info)
{
    const Result<ByteBuffer> file = MldBuilder::Build(info, samples, rate);
    EXPECT_TRUE(file);
    return file ? file->Bytes() : Bytes();
}

ContentInfo AbcInfo()
{
    ContentInfo info;
    info.title = "abc";
    info.date = "20030601";
    return info;
}

// The 185-byte file of title "abc", no copyright, 16 samples of silence at 8000 Hz.
Bytes SilenceFile()
{
    return BuildMld(std::vector<std::int16_t>(16, 0), 8000, AbcInfo());
}

MldReadResult Read(const Bytes& file)
{
    // A copy of exactly the file's size, so a read past its end is caught by ASan.
    const Bytes exact(file.begin(), file.end());
    return ReadMld(exact);
}

// Predictor after each sample, following the encoding rules step by step in
// their plain form (thresholds counted, no shortcuts).
std::vector<std::int16_t> PredictorTrace(const std::vector<std::int16_t>& samples)
{
    std::int32_t predictor = 0;
    std::int32_t step = 127;
    std::vector<std::int16_t> trace;
    for (const std::int16_t x : samples) {
        const AdpcmCode code = adpcm_quantise(x, predictor, step);
        predictor = adpcm_next_predictor(code, predictor, step);
        step = adpcm_next_step(code, step);
        trace.push_back(static_cast<std::int16_t>(predictor));
    }
    return trace;
}

std::vector<std::uint8_t> Encode(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> coded(adpcm_coded_size(samples.size()));
    EXPECT_TRUE(adpcm_encode(samples, coded));
    return coded;
}

std::vector<std::int16_t> RandomSamples(std::mt19937& rng, std::size_t count)
{
    // A mixture of smooth and jumpy stretches so the step adapts both ways and
    // the predictor meets its clamps.
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::normal_distribution<double> drift(0.0, 600.0);
    std::vector<std::int16_t> samples;
    double level = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if ((i / 500) % 3 == 2) {
            samples.push_back(static_cast<std::int16_t>(any(rng)));
            continue;
        }
        level = std::clamp(level + drift(rng), -32768.0, 32767.0);
        samples.push_back(static_cast<std::int16_t>(level));
    }
    return samples;
}

}  // namespace

// ---- decoder ----

struct TraceCase {
    std::vector<std::int16_t> samples;
    std::vector<std::int16_t> predictors;
};

void PrintTo(const TraceCase& c, std::ostream* os)
{
    *os << c.samples.size() << " samples";
}

class DecoderTrace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(DecoderTrace, ReproducesTheEncodersPredictors)
{
    const TraceCase& c = GetParam();
    const std::vector<std::int16_t> decoded = adpcm_decode(Encode(c.samples));
    ASSERT_EQ(decoded.size(), (c.samples.size() + 1) / 2 * 2);
    EXPECT_EQ(std::vector<std::int16_t>(decoded.begin(), decoded.begin() + c.predictors.size()), c.predictors);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, DecoderTrace,
    ::testing::Values(TraceCase{{1000, 1000, -1000, 0}, {236, 806, -560, 95}},
                      TraceCase{{1000, 1000, -1000}, {236, 806, -560}}, TraceCase{{0, 0, 0, 0}, {15, 0, 15, 0}},
                      TraceCase{{0, 6543, 12367, 16829, 19438, 19908, 18185, 14461},
                                {15, 251, 821, 2187, 5464, 13324, 17093, 13706}},
                      TraceCase{std::vector<std::int16_t>(12, 32767),
                                {236, 806, 2172, 5449, 13309, 32159, 32767, 32767, 32767, 32767, 32767, 32767}}));

TEST(Decoder, LowNibbleIsTheEarlierSample)
{
    // Code 7 then code 0 (byte 0x07) rises twice; code 0 then code 7 (byte 0x70) rises less first.
    EXPECT_EQ(adpcm_decode(std::vector<std::uint8_t>{0x07}), (std::vector<std::int16_t>{236, 274}));
    EXPECT_EQ(adpcm_decode(std::vector<std::uint8_t>{0x70}), (std::vector<std::int16_t>{15, 251}));
    EXPECT_TRUE(adpcm_decode({}).empty());
}

TEST(Decoder, MatchesAnIndependentTraceOnLongRandomInput)
{
    std::mt19937 rng(20030601);
    for (const std::size_t count : {1u, 2u, 999u, 20000u, 131054u}) {
        const std::vector<std::int16_t> samples = RandomSamples(rng, count);
        const std::vector<std::int16_t> trace = PredictorTrace(samples);
        std::vector<std::int16_t> decoded = adpcm_decode(Encode(samples));
        ASSERT_EQ(decoded.size(), (count + 1) / 2 * 2) << count;
        decoded.resize(count);
        EXPECT_EQ(decoded, trace) << count << " samples";
    }
}

struct QualityCase {
    const char* name;
    std::vector<std::int16_t> (*make)();
    double floorDb;  // a few dB under what the coding achieves, to catch a loss of quality
};

class RoundTripQuality : public ::testing::TestWithParam<QualityCase> {};

TEST_P(RoundTripQuality, KeepsTheSignalToNoiseRatio)
{
    const std::vector<std::int16_t> original = GetParam().make();
    const double snr = signals::SnrDb(original, signals::RoundTrip(original));
    RecordProperty("snr_db", std::to_string(snr));
    std::printf("round trip SNR, %s at 8000 Hz: %.1f dB\n", GetParam().name, snr);
    EXPECT_GE(snr, GetParam().floorDb);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, RoundTripQuality,
    ::testing::Values(QualityCase{"SpeechLike", [] { return signals::SpeechLike(8000, 4.0); }, 16},
                      QualityCase{"Tone440WithHarmonics", [] { return signals::Tone(440, 4, 8000, 4.0); }, 16},
                      QualityCase{"Tone1000", [] { return signals::Tone(1000, 1, 8000, 4.0); }, 18},
                      QualityCase{"QuietTone1000", [] { return signals::Tone(1000, 1, 8000, 4.0, 500); }, 17}),
    [](const ::testing::TestParamInfo<QualityCase>& info) { return std::string(info.param.name); });

// ---- WAVE writer ----

TEST(WaveWriter, WritesACanonicalFileThatTheReaderAccepts)
{
    const std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768, 256, -257};
    for (const std::uint32_t rate : {4000u, 8000u, 11025u, 16000u}) {
        ByteBuffer file;
        ASSERT_TRUE(WriteMonoWave(samples, rate, file));
        ASSERT_EQ(file.Size(), kWaveHeaderSize + 2 * samples.size());
        WaveReader reader(rate, rate);
        // The reader refuses 20 ms or less of sound, so check its verdict on a longer file too.
        ByteBuffer longer;
        ASSERT_TRUE(WriteMonoWave(std::vector<std::int16_t>(rate, 5), rate, longer));
        const Result<std::int32_t> parsed = reader.Parse(longer);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(*parsed, static_cast<std::int32_t>(rate));
        EXPECT_EQ(reader.DataOffset(), kWaveHeaderSize);
        EXPECT_EQ(reader.DataLength(), 2 * rate);
        const Bytes expected = fixtures::RiffFile({fixtures::Fmt(rate), fixtures::Data(samples)});
        EXPECT_EQ(file.Bytes(), expected) << rate;
    }
}

TEST(WaveWriter, RefusesARateOfZeroAndLeavesTheBufferAlone)
{
    ByteBuffer file;
    file.Append(0x42);
    EXPECT_FALSE(WriteMonoWave(std::vector<std::int16_t>(4, 0), 0, file));
    EXPECT_EQ(file.Size(), 1u);
    ByteBuffer empty;
    ASSERT_TRUE(WriteMonoWave({}, 8000, empty));
    EXPECT_EQ(empty.Size(), kWaveHeaderSize);
}

// ---- reader: good files ----

TEST(MldReader, ReadsTheSilenceExample)
{
    const Bytes file = SilenceFile();
    ASSERT_EQ(file.size(), 185u);
    const MldReadResult result = Read(file);
    ASSERT_TRUE(result.contents) << result.error.message << " at " << result.error.offset;
    const MldContents& c = *result.contents;
    EXPECT_EQ(c.protectionFlag, 0);
    EXPECT_EQ(c.title, "abc");
    EXPECT_EQ(c.version, "0300");
    EXPECT_EQ(c.date, "20030601");
    EXPECT_EQ(c.copyright, " ");
    EXPECT_EQ(c.software, "Quorbin Ver.1.0.0");
    EXPECT_EQ(c.sampleRate, 8000);
    EXPECT_EQ(c.audioOffset, 122u);
    EXPECT_EQ(c.audioLength, 8u);
    EXPECT_EQ(c.playTicks, 1u);
    EXPECT_EQ(c.fillerEvents, 0u);
    EXPECT_DOUBLE_EQ(c.tickSeconds, 0.01);
    EXPECT_DOUBLE_EQ(c.AudioSeconds(), 16.0 / 8000);
    EXPECT_EQ(adpcm_decode({file.data() + c.audioOffset, c.audioLength}),
              std::vector<std::int16_t>({15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0}));
}

struct PlayTimeCase {
    std::size_t samples;
    std::int32_t rate;
    std::size_t codedBytes;
    std::uint32_t ticks;
    std::uint32_t fillers;
};

class MldReaderPlayTime : public ::testing::TestWithParam<PlayTimeCase> {};

TEST_P(MldReaderPlayTime, AddsFillerWaitsToTheStopDelay)
{
    const PlayTimeCase& c = GetParam();
    const Bytes file = BuildMld(std::vector<std::int16_t>(c.samples, 100), c.rate, AbcInfo());
    const MldReadResult result = Read(file);
    ASSERT_TRUE(result.contents) << result.error.message << " at " << result.error.offset;
    EXPECT_EQ(result.contents->audioLength, c.codedBytes);
    EXPECT_EQ(result.contents->playTicks, c.ticks);
    EXPECT_EQ(result.contents->fillerEvents, c.fillers);
    EXPECT_EQ(result.contents->sampleRate, c.rate);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MldReaderPlayTime,
                         ::testing::Values(PlayTimeCase{100, 4000, 50, 3, 0}, PlayTimeCase{160, 8000, 80, 3, 0},
                                           PlayTimeCase{20320, 8000, 10160, 255, 0},
                                           PlayTimeCase{20400, 8000, 10200, 256, 1},
                                           PlayTimeCase{140000, 8000, 65527, 1639, 6},
                                           PlayTimeCase{140000, 4000, 65527, 3277, 12},
                                           PlayTimeCase{140000, 16000, 65527, 820, 3}));

TEST(MldReader, AcceptsEveryFileTheBuilderWrites)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 60; ++round) {
        ContentInfo info;
        info.title.resize(rng() % 51);
        info.copyright.resize(rng() % 257);
        for (char& ch : info.title)
            ch = static_cast<char>(byte(rng));
        for (char& ch : info.copyright)
            ch = static_cast<char>(byte(rng));
        info.protectionFlag = rng() % 2;
        info.date = "20261207";
        const std::int32_t rate = 4000 + static_cast<std::int32_t>(rng() % 12001);
        const std::size_t count = 1 + rng() % 30000;
        const std::vector<std::int16_t> samples = RandomSamples(rng, count);

        const Bytes file = BuildMld(samples, rate, info);
        const MldReadResult result = Read(file);
        ASSERT_TRUE(result.contents) << result.error.message << " at " << result.error.offset;
        const MldContents& c = *result.contents;
        EXPECT_EQ(c.title, info.title.empty() ? " " : info.title);
        EXPECT_EQ(c.copyright, info.copyright.empty() ? " " : info.copyright);
        EXPECT_EQ(c.protectionFlag, info.protectionFlag);
        EXPECT_EQ(c.sampleRate, rate);
        EXPECT_EQ(c.audioLength, (count + 1) / 2);
        // Ten-millisecond ticks of whole kilohertz, and one more.
        const std::size_t bytesPerTick = static_cast<std::size_t>(rate / 1000) * 5;
        EXPECT_EQ(c.playTicks, c.audioLength / bytesPerTick + 1);
        std::vector<std::int16_t> decoded = adpcm_decode({file.data() + c.audioOffset, c.audioLength});
        decoded.resize(count);
        EXPECT_EQ(decoded, PredictorTrace(samples));
    }
}

// ---- reader: damaged files ----

struct DamageCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    const char* message;  // part of the expected message
    std::size_t offset;
};

class MldReaderDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(MldReaderDamage, NamesTheProblemAndItsOffset)
{
    const DamageCase& c = GetParam();
    Bytes file = SilenceFile();
    c.damage(file);
    const MldReadResult result = Read(file);
    ASSERT_FALSE(result.contents);
    EXPECT_NE(result.error.message.find(c.message), std::string::npos) << result.error.message;
    EXPECT_EQ(result.error.offset, c.offset) << result.error.message;
}

void Set(Bytes& file, std::size_t offset, std::initializer_list<std::uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Appends `extra` bytes and raises the file and track length fields to match.
void Grow(Bytes& file, std::initializer_list<std::uint8_t> extra)
{
    file.insert(file.end(), extra);
    const std::uint32_t fileLength = static_cast<std::uint32_t>(file.size() - 8);
    const std::uint32_t trackLength = static_cast<std::uint32_t>(file.size() - 99);
    Set(file, 4, {0, 0, static_cast<std::uint8_t>(fileLength >> 8), static_cast<std::uint8_t>(fileLength)});
    Set(file, 95, {0, 0, static_cast<std::uint8_t>(trackLength >> 8), static_cast<std::uint8_t>(trackLength)});
}

INSTANTIATE_TEST_SUITE_P(
    Damage, MldReaderDamage,
    ::testing::Values(
        DamageCase{"Magic", [](Bytes& f) { f[3] = 'a'; }, "magic", 0},
        DamageCase{"TooShortForMagic", [](Bytes& f) { f.resize(3); }, "magic", 0},
        DamageCase{"FileLengthOffByOne", [](Bytes& f) { f[7] = 0xB0; }, "file length", 4},
        DamageCase{"FileCutShort", [](Bytes& f) { f.pop_back(); }, "file length", 4},
        DamageCase{"HeaderLengthPastEnd", [](Bytes& f) { Set(f, 8, {0x10, 0x00}); }, "past the end", 8},
        DamageCase{"HeaderLengthTooLong", [](Bytes& f) { f[9] = 0x52; }, "header length", 91},
        DamageCase{"HeaderLengthTooShort", [](Bytes& f) { f[9] = 0x50; }, "\"supt\" cut short", 72},
        DamageCase{"DataType", [](Bytes& f) { f[11] = 0x02; }, "data type", 10},
        DamageCase{"TrackCount", [](Bytes& f) { f[12] = 0x02; }, "track count", 12},
        DamageCase{"ChunkOutOfOrder", [](Bytes& f) { Set(f, 20, {'v', 'e', 'r', 's'}); }, "out of order", 20},
        DamageCase{"UnknownChunk", [](Bytes& f) { Set(f, 29, {'x', 'x', 'x', 'x'}); }, "unknown chunk", 29},
        DamageCase{"ChunkRunsOver", [](Bytes& f) { Set(f, 24, {0x01, 0x00}); }, "cut short", 24},
        DamageCase{"ProtectionByte", [](Bytes& f) { f[19] = 0x02; }, "sorc", 19},
        DamageCase{"TrackId", [](Bytes& f) { f[94] = 'k'; }, "\"trac\"", 91},
        DamageCase{"TrackLength", [](Bytes& f) { f[98] = 0x57; }, "track length", 95},
        DamageCase{"NoEventMarker", [](Bytes& f) { f[100] = 0x00; }, "FF", 100},
        DamageCase{"UnknownEventCode", [](Bytes& f) { f[142] = 0x90; }, "unknown event code 0x90", 142},
        DamageCase{"UnknownCommand", [](Bytes& f) { f[106] = 0xF7; }, "unknown event command 0xF7", 106},
        DamageCase{"PayloadPrefix", [](Bytes& f) { f[104] = 0x12; }, "11 01", 104},
        DamageCase{"PayloadRunsOver", [](Bytes& f) { f[103] = 0x7F; }, "runs past", 102},
        DamageCase{"RateZero", [](Bytes& f) { Set(f, 120, {0, 0}); }, "sample rate 0", 120},
        DamageCase{"TempoZero", [](Bytes& f) { f[151] = 0; }, "tempo 0", 151},
        DamageCase{"StopTurnedIntoStart", [](Bytes& f) { f[175] = 0x03; }, "second audio start", 172},
        DamageCase{"StartTurnedIntoSetup", [](Bytes& f) { f[163] = 0xF3; }, "without an audio start", 172},
        DamageCase{"NoEndOfTrack", [](Bytes& f) { f[183] = 0xDE; }, "without the end-of-track", 185},
        DamageCase{"BytesAfterEnd", [](Bytes& f) { Grow(f, {0x00}); }, "after the end-of-track", 185},
        DamageCase{"EventCutShort", [](Bytes& f) { f[183] = 0xDE; Grow(f, {0x00, 0xFF}); }, "cut short", 185},
        DamageCase{"SecondAudioData",
                   [](Bytes& f) {
                       f.resize(185 - 8);
                       Grow(f, {0x00, 0xFF, 0xFF, 0x00, 0x08, 0x11, 0x01, 0xF0, 0x07, 0x00, 0x01, 0x1F, 0x40,
                                0x00, 0xFF, 0xDF, 0x00});
                   },
                   "second audio data", 182}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(MldReader, EveryCutIsRefusedWithinTheBytesThatRemain)
{
    const Bytes whole = BuildMld(std::vector<std::int16_t>(2000, 300), 8000, AbcInfo());
    for (std::size_t size = 0; size < whole.size(); ++size) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        // Fix the length fields so the damage is found further in, not at offset 4.
        if (size >= 8) {
            const auto length = static_cast<std::uint32_t>(size - 8);
            for (int i = 0; i < 4; ++i)
                cut[4 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
        }
        if (size >= 99) {
            const auto length = static_cast<std::uint32_t>(size - 99);
            for (int i = 0; i < 4; ++i)
                cut[95 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
        }
        const MldReadResult result = Read(cut);
        ASSERT_FALSE(result.contents) << size;
        EXPECT_LE(result.error.offset, size) << size << ": " << result.error.message;
        EXPECT_FALSE(result.error.message.empty());
    }
}

TEST(MldReader, RandomDamageNeverReadsOutsideTheFile)
{
    const Bytes whole = BuildMld(std::vector<std::int16_t>(600, -300), 11025, AbcInfo());
    std::mt19937 rng(185);
    for (int round = 0; round < 20000; ++round) {
        Bytes file = whole;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < changes; ++i)
            file[rng() % file.size()] = static_cast<std::uint8_t>(rng());
        if (rng() % 4 == 0)
            file.resize(rng() % file.size());
        const MldReadResult result = Read(file);
        if (!result.contents)
            EXPECT_LE(result.error.offset, file.size());
        else
            EXPECT_LE(result.contents->audioOffset + result.contents->audioLength, file.size());
    }
}
